#pragma once

#include "balance/BalanceReader.h"

#include <QObject>
#include <QString>

#include <functional>

// One exchange with a balance on a thread of its own, so that the window keeps polling the pump
// (and hears a Stop) while the balance settles. The port is opened for the exchange and closed
// after it; the reader bounds every wait. done runs on the window's thread, and only while
// context lives.
class BalanceJob
{
public:
    enum class Step { Zero, StableWeight };

    static void run(const QString &port, Step step, int timeoutMs, QObject *context,
                    std::function<void(const BalanceReader::Reading &)> done);
    // The same exchange on the caller's thread.
    static BalanceReader::Reading exchange(const QString &port, Step step, int timeoutMs);
};
