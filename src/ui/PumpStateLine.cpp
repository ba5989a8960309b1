#include "ui/PumpStateLine.h"

#include "pump/DisplayFormat.h"
#include "pump/DurationText.h"
#include "pumpcore/PumpCore.h"
#include "ui/FeedbackMarks.h"
#include "ui/ShownNumber.h"
#include "ui/StyleSheets.h"
#include "ui/WidgetWrite.h"

#include <QCoreApplication>
#include <QLabel>

#include <cmath>

namespace {

using RunState = ProcessSample::RunState;

const char *colourOf(RunState state, bool done)
{
    if (done)
        return StyleSheets::stateDone;
    switch (state) {
    case RunState::Running:
    case RunState::Priming:
        return StyleSheets::stateMoving;
    case RunState::Paused:
        return StyleSheets::statePaused;
    case RunState::Stopped:
    case RunState::Unknown:
        break;
    }
    return StyleSheets::stateStopped;
}

} // namespace

PumpStateLine::PumpStateLine(QLabel *above, PumpCore &pumpCore, QObject *parent)
    : QObject(parent)
    , core(pumpCore)
    , line(FeedbackMarks::addLineAbove(above, "labelPumpState"))
{
    connect(&core, &PumpCore::sampled, this, &PumpStateLine::show);
}

QString PumpStateLine::text(const ProcessSample &sample, RunStateJudge::Key lastAccepted)
{
    if (RunStateJudge::doseDone(sample, lastAccepted)) {
        // The volume as the Volume field shows it, the time in whole seconds as it is set.
        const int seconds =
            static_cast<int>(std::lround(sample.timeElapsedMs.value_or(0) / 1000.0));
        return QCoreApplication::translate("mainScreen", "DOSE DONE: %1 in %2")
            .arg(ShownNumber::localized(Pump::DisplayFormat::actualVolume(
                     static_cast<int>(sample.volumeDelivered.value_or(0)))),
                 Pump::DurationText::clock(seconds));
    }
    switch (sample.runState) {
    case RunState::Running:
        return QCoreApplication::translate("mainScreen", "RUNNING");
    case RunState::Paused:
        return QCoreApplication::translate("mainScreen", "PAUSED");
    case RunState::Priming:
        return QCoreApplication::translate("mainScreen", "PRIMING");
    case RunState::Stopped:
        return QCoreApplication::translate("mainScreen", "STOPPED");
    case RunState::Unknown:
        break;
    }
    return QString();
}

void PumpStateLine::show(const ProcessSample &sample)
{
    if (!line)
        return;
    const RunStateJudge::Key key = core.sampler().lastAccepted();
    stateText = text(sample, key);
    setNote(note);
    WidgetWrite::setSheet(line, StyleSheets::stateLine(colourOf(
                                    sample.runState, RunStateJudge::doseDone(sample, key))));
}

void PumpStateLine::setNote(const QString &text)
{
    note = text;
    if (!line)
        return;
    QStringList parts;
    for (const QString &part : {stateText, note})
        if (!part.isEmpty())
            parts << part;
    WidgetWrite::setText(line, parts.join(QStringLiteral(" \u00b7 ")));
}
