#include "remote/HeadlessPump.h"

HeadlessPump::HeadlessPump(const QString &port, int address, QObject *parent)
    : QObject(parent)
{
    pump.link().setAddress(address);
    pump.link().setCommPortName(port);
    connect(&reopenTimer, &QTimer::timeout, this, [this] {
        if (!pump.link().portOpen)
            pump.link().reopen();
    });
    reopenTimer.start(ReopenMs);
}
