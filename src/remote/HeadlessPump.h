#pragma once

#include "pumpcore/PumpCore.h"

#include <QObject>
#include <QTimer>

// A pump line without a window: the pump core, polled throughout, with one sample of the process
// values per refresh tick. A lost port is tried again every few seconds.
class HeadlessPump : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReopenMs = 3000;

    HeadlessPump(const QString &port, int address, QObject *parent = nullptr);

    bool portOpen() const { return pump.link().portOpen; }
    PortProblem problem() const { return pump.link().portProblem; }
    PumpCore &core() { return pump; }

private:
    PumpCore pump;
    QTimer reopenTimer;
};
