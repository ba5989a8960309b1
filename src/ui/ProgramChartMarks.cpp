#include "ui/ProgramChartMarks.h"

#include "program/ProgramRunner.h"
#include "ui/ProcessChartView.h"
#include "ui/ShownProgramText.h"

#include <QDateTime>

using Cause = ProgramStatus::Cause;
using Moment = ProcessChartView::Moment;

ProgramChartMarks::ProgramChartMarks(ProgramRunner &runner, ProcessChartView *chart)
    : QObject(chart)
    , view(chart)
{
    connect(&runner, &ProgramRunner::stepStarted, this, &ProgramChartMarks::stepStarted);
    connect(&runner, &ProgramRunner::ended, this, &ProgramChartMarks::ended);
}

QString ProgramChartMarks::causeText(Cause cause)
{
    switch (cause) {
    case Cause::None:
    case Cause::Done:
        return tr("done");
    case Cause::ProgramStop:
        return tr("stopped");
    case Cause::OutsideStop:
        return tr("stopped from outside");
    case Cause::PumpError:
        return tr("pump error");
    case Cause::Refused:
        return tr("command refused");
    case Cause::LinkLost:
        return tr("link lost");
    case Cause::Released:
        return tr("left to the pump");
    case Cause::Other:
        break;
    }
    return tr("failed");
}

void ProgramChartMarks::stepStarted(const ProgramStatus &status)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (status.runId != runId) {
        runId = status.runId;
        view->addMoment({now, Moment::Kind::Start, tr("Program %1").arg(status.name)});
    }
    view->addMoment({now, Moment::Kind::Step, ShownProgramText::label(status.label)});
}

void ProgramChartMarks::ended(const ProgramStatus &status)
{
    view->addMoment({QDateTime::currentMSecsSinceEpoch(), Moment::Kind::End,
                     tr("End: %1").arg(causeText(status.cause))});
}
