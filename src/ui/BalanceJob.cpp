#include "ui/BalanceJob.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

BalanceReader::Reading BalanceJob::exchange(const QString &port, Step step, int timeoutMs)
{
    BalanceReader balance;
    BalanceReader::Reading reading;
    if (!balance.open(port)) {
        reading.error = balance.error();
        return reading;
    }
    if (step == Step::Zero) {
        reading.ok = balance.zero(timeoutMs);
        reading.error = reading.ok ? QString() : balance.error();
    } else {
        reading = balance.stableWeight(timeoutMs);
    }
    balance.close();
    return reading;
}

void BalanceJob::run(const QString &port, Step step, int timeoutMs, QObject *context,
                     std::function<void(const BalanceReader::Reading &)> done)
{
    QPointer<QObject> guard(context);
    QThread *thread = QThread::create([port, step, timeoutMs, guard, done]() {
        const BalanceReader::Reading reading = exchange(port, step, timeoutMs);
        // The application object lives on the window's thread: the answer is handed over there,
        // where the guard may be read.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guard, done, reading]() {
            if (guard)
                done(reading);
        });
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}
