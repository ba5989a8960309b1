#include "service/PumpThread.h"

#include <QCoreApplication>
#include <QThread>

#include <openssl/crypto.h>

PumpThread::PumpThread(const PumpPlan &plan, Journal *processJournal, const QString &programVersion,
                       QObject *parent)
    : QObject(parent)
    , pumpPlan(plan)
    , journal(processJournal)
    , version(programVersion)
{}

PumpThread::~PumpThread()
{
    if (thread == nullptr)
        return;
    requestFinish();
    if (!waitFinished(FinishMs)) {
        // Destroying a running thread would end the process on the spot, without the Stop the
        // other pumps are owed: it is left to the process's end.
        qWarning("pump %s did not end within %d s", qPrintable(pumpPlan.name), FinishMs / 1000);
        return;
    }
    delete worker;
    delete thread;
}

ServedPump::Outcome PumpThread::start()
{
    thread = new QThread;
    thread->setObjectName(pumpPlan.name.isEmpty() ? QStringLiteral("pump")
                                                  : QStringLiteral("pump ") + pumpPlan.name);
    worker = new QObject;
    worker->moveToThread(thread);
    thread->start();
    ServedPump::Outcome outcome;
    // Made on its thread, so that its timers, port and sockets belong there.
    QMetaObject::invokeMethod(
        worker,
        [this, &outcome] {
            pump = new ServedPump(pumpPlan, journal, version);
            connect(pump, &ServedPump::logged, this, &PumpThread::logged);
            connect(pump, &ServedPump::silaServing, this, &PumpThread::silaServing);
            connect(pump, &ServedPump::failed, this, &PumpThread::failed);
            outcome = pump->start();
        },
        Qt::BlockingQueuedConnection);
    if (!outcome.ok())
        requestFinish();
    return outcome;
}

void PumpThread::requestFinish()
{
    if (thread == nullptr || finishing)
        return;
    finishing = true;
    QMetaObject::invokeMethod(worker, [this] {
        delete pump;
        pump = nullptr;
        // OpenSSL keeps a random generator and an error queue for each thread that spoke TLS:
        // freed here, with the pump, rather than by a hook at the thread's very end.
        OPENSSL_thread_stop();
        QThread::currentThread()->quit();
    });
}

bool PumpThread::waitFinished(int ms)
{
    if (thread == nullptr)
        return true;
    if (!thread->wait(ms))
        return false;
    // Its last lines are on their way to this object.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return true;
}

void PumpThread::invoke(std::function<void(ServedPump &)> work)
{
    if (thread == nullptr || finishing)
        return;
    QMetaObject::invokeMethod(worker, [this, work] {
        if (pump != nullptr)
            work(*pump);
    });
}
