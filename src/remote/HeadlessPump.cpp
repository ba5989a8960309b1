#include "remote/HeadlessPump.h"

HeadlessPump::HeadlessPump(const QString &port, int address, QObject *parent)
    : HeadlessPump(port, address, nullptr, RequestOrigin(), parent)
{}

HeadlessPump::HeadlessPump(const QString &port, int address, Journal *journal,
                           const RequestOrigin &origin, QObject *parent)
    : QObject(parent)
{
    pump.setOrigin(origin);
    if (journal != nullptr)
        pump.attachJournal(journal, QStringLiteral("%1:%2").arg(port).arg(address));
    pump.link().setAddress(address);
    pump.link().setCommPortName(port);
    connect(&reopenTimer, &QTimer::timeout, this, [this] {
        if (!pump.link().portOpen)
            pump.link().reopen();
    });
    reopenTimer.start(ReopenMs);
}
