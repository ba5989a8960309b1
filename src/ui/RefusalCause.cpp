#include "ui/RefusalCause.h"

#include "pumpcore/PumpCore.h"
#include "recorder/RunStateJudge.h"
#include "ui/StyleSheets.h"

#include <QCoreApplication>
#include <QLabel>

using Heard = LinkFeedback::Heard;

RefusalCause::RefusalCause(QLabel *feedbackLabel, PumpCore &core, QObject *parent)
    : QObject(parent)
{
    if (feedbackLabel != nullptr)
        feedbackLabel->setWordWrap(true);
    connect(&core, &PumpCore::answered, this, &RefusalCause::answered);
    connect(&core, &PumpCore::sampled, this, &RefusalCause::sampled);
}

QString RefusalCause::withCause(const QString &refusal, const QStringList &errors)
{
    // The flags' names are English in the samples; the window shows them translated.
    QStringList shown;
    for (const QString &error : errors)
        shown << QCoreApplication::translate("mainScreen", error.toUtf8().constData());
    return refusal + QCoreApplication::translate("mainForm", " - pump reports: %1")
                         .arg(shown.join(QLatin1String(", ")));
}

void RefusalCause::answered(const Answer &answer)
{
    // Start and Prime are refused while the pump reports an error; a refused setting is a value
    // out of range whatever the flags say.
    if (answer.outcome == BusinessLogic::AnswerOutcome::Nak)
        keyRefused = RunStateJudge::keyOf(answer.commandId).has_value();
}

void RefusalCause::sampled(const ProcessSample &sample)
{
    errors = sample.errors.value_or(QStringList());
}

void RefusalCause::explain(Heard heard, LinkFeedback::Result &result)
{
    switch (heard) {
    case Heard::Nak:
        shown = keyRefused;
        if (result.transmission)
            refusal = *result.transmission;
        break;
    case Heard::Nothing:
        break;
    case Heard::Ack:
    case Heard::Silence:
    case Heard::AddressAnswer:
        shown = holding = false;
        return;
    }
    if (!shown)
        return;
    if (errors.isEmpty()) {
        // The flags cleared, or the refusal faded before a sample named any.
        if (holding || result.fadePercent <= 0)
            shown = holding = false;
        return;
    }
    holding = true;
    result.transmission = withCause(refusal, errors);
    result.fadePercent = 100;
    result.transmissionSheet = StyleSheets::fading(result.colour, 100);
}
