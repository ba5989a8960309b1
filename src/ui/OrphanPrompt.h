#pragma once

#include "program/OrphanRuns.h"

#include <QObject>

class ProgramRunner;
class PumpCore;
class QWidget;

// A run that a window of this user started on the pump just connected, and left open when it
// died: the operator is told what the pump is doing and chooses between stopping it and leaving
// it running; either way the run is closed as its owner's gone. A pump already standing is not
// asked about. The question does not hold the window up.
class OrphanPrompt : public QObject
{
    Q_OBJECT

public:
    OrphanPrompt(QWidget *window, PumpCore &core, const ProgramRunner &runner);

    // What the operator reads: who left the run, what the pump is doing, what it delivered.
    static QString question(const QVector<JournalRun> &runs, const ProcessSample &sample);

private:
    void ask(const QVector<JournalRun> &runs, const ProcessSample &sample);

    QWidget *window;
    OrphanRuns orphans;
};
