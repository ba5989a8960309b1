#pragma once

#include "program/ProgramStatus.h"

#include <QObject>

class ProcessChartView;
class ProgramRunner;

// A program's moments on the process chart, as the runner reports them: its start, each step's
// start and its end with the cause.
class ProgramChartMarks : public QObject
{
    Q_OBJECT

public:
    // Owned by the view; the runner outlives it.
    ProgramChartMarks(ProgramRunner &runner, ProcessChartView *view);

    // "done", "stopped", "stopped from outside", ...: the cause as the chart's label says it.
    static QString causeText(ProgramStatus::Cause cause);

private:
    void stepStarted(const ProgramStatus &status);
    void ended(const ProgramStatus &status);

    ProcessChartView *view;
    QString runId; // the run whose start is marked
};
