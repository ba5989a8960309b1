#pragma once

#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"

#include <QObject>
#include <QTimer>

// A pump line without a window: the pump core, polled throughout, with one sample of the process
// values per refresh tick, and the runner of its runs beside it. A lost port is tried again every
// few seconds. With a journal, the core and the runner record what they do in it under the
// origin given.
class HeadlessPump : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReopenMs = 3000;

    HeadlessPump(const QString &port, int address, QObject *parent = nullptr);
    HeadlessPump(const QString &port, int address, Journal *journal, const RequestOrigin &origin,
                 QObject *parent = nullptr);

    bool portOpen() const { return pump.link().portOpen; }
    PortProblem problem() const { return pump.link().portProblem; }
    PumpCore &core() { return pump; }
    ProgramRunner &runner() { return programRunner; }

private:
    PumpCore pump;
    // Made after the core and gone before it: it queues into the core's stack.
    ProgramRunner programRunner{pump};
    QTimer reopenTimer;
};
