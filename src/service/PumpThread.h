#pragma once

#include "service/PumpPlan.h"
#include "service/ServedPump.h"

#include <QObject>

#include <functional>

class Journal;
class QThread;

// One served pump on a thread of its own, so that a silent or slow pump never delays another:
// the served pump is made, started, finished and destroyed on that thread, and everything it
// says reaches this object's thread through queued signals.
class PumpThread : public QObject
{
    Q_OBJECT

public:
    // The Stop on the way out, the run's end in the journal and the SiLA server's shutdown each
    // have bounds of their own; this is all of them and room to spare.
    static constexpr int FinishMs = 20000;

    PumpThread(const PumpPlan &plan, Journal *journal, const QString &version,
               QObject *parent = nullptr);
    // Finishes the pump if nobody did, waiting FinishMs at most.
    ~PumpThread() override;

    const PumpPlan &plan() const { return pumpPlan; }

    // Starts the thread, makes the served pump there and starts it; returns its outcome. On a
    // failure the pump is finished at once.
    ServedPump::Outcome start();
    // Asks the pump to finish on its thread, which then ends; returns at once.
    void requestFinish();
    // Waits at most ms for the thread to end, then hands on what the pump said last. False when
    // it did not end in time.
    bool waitFinished(int ms);
    // Runs work with the served pump on its thread, later; nothing once it is finishing.
    void invoke(std::function<void(ServedPump &)> work);
    // After a start that succeeded, until requestFinish(): the served pump, whose core and runner
    // may be named from any thread and used on the pump's own only (queued calls, signals).
    ServedPump *served() const { return finishing ? nullptr : pump; }

signals:
    void logged(const QString &line);
    void silaServing(const QJsonObject &fields, const QString &text);
    void failed(const ServedPump::Outcome &outcome);

private:
    const PumpPlan pumpPlan;
    Journal *const journal;
    const QString version;
    QThread *thread = nullptr;
    QObject *worker = nullptr;  // the thread's context for invoked work
    ServedPump *pump = nullptr; // made, used and destroyed on the thread only
    bool finishing = false;
};
