#pragma once

#include "pumpcore/RequestOrigin.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class PumpCore;
class ProgramRunner;

// The pump as the SiLA server's dosing feature sees it. Lives on the pump core's thread; knows
// nothing of gRPC. Every run goes through the core's arbiter (the dosing program runner), so
// Stop from any source ends it and a lost link leaves the pump stopped when it returns.
class SilaPump : public QObject
{
    Q_OBJECT

public:
    using RunId = quint64;

    // The four observable properties. A value not known yet (no answer since the link came up)
    // is "unknown" for the state and NaN for the numbers.
    struct Snapshot
    {
        double volumeDeliveredMl = 0;
        double flowRateMlMin = 0; // the set-point
        QString state;            // "stopped", "running", "paused", "priming", "unknown"
        QStringList errorFlags;   // lit error flags, as the Status tab names them
        bool operator==(const Snapshot &other) const;
        bool operator!=(const Snapshot &other) const { return !(*this == other); }
    };

    // Why a run could not start or why it ended badly. The identifiers are the feature's
    // defined execution errors.
    enum class Failure { None, PumpError, PumpRefused, LinkLost, Stopped };
    struct Outcome
    {
        Failure failure = Failure::None;
        QString message; // for the client: what happened, in plain words
    };

    // A parameter outside the key table's limits: the parameter's identifier ("Volume",
    // "FlowRate", "RunTime") and why, in the key table's words. Nothing is sent then.
    struct Invalid
    {
        QString parameter;
        QString message;
        bool valid() const { return parameter.isEmpty(); }
    };
    // pumpType: the connected pump's, whose limits hold; empty for the widest.
    static Invalid checkDose(double volumeMl, double rateMlMin,
                             const QString &pumpType = QString());
    static Invalid checkFlow(double rateMlMin, double runTimeS, // runTimeS 0: until stopped
                             const QString &pumpType = QString());

    SilaPump(PumpCore &core, ProgramRunner &runner, QObject *parent = nullptr);
    ~SilaPump() override;

    Snapshot snapshot() const;

    // Every call below goes to the pump as the origin's (the core's own when it is unknown).

    // Starts a dose or a flow; 0 with *outcome filled when it cannot start (another run or a
    // program is active: PumpRefused; link down: LinkLost). The checks above must have passed.
    RunId startDose(double volumeMl, double rateMlMin, Outcome *outcome,
                    const RequestOrigin &origin = RequestOrigin());
    RunId startFlow(double rateMlMin, double runTimeS, Outcome *outcome,
                    const RequestOrigin &origin = RequestOrigin());
    // Stop first, whoever asked: ends the active run with Failure::Stopped.
    void stop(const RequestOrigin &origin = RequestOrigin());
    // Primes the pump; false with *outcome when it cannot (a run is active, link down).
    bool prime(Outcome *outcome, const RequestOrigin &origin = RequestOrigin());
    // Pause and resume the active run; false with *outcome when id is not the active run or
    // it is not in a state that allows it.
    bool pause(RunId id, Outcome *outcome, const RequestOrigin &origin = RequestOrigin());
    bool resume(RunId id, Outcome *outcome, const RequestOrigin &origin = RequestOrigin());
    // A call refused before it reached the pump, in the core's journal when it has one: the
    // command, the parameter it was about (none for the call as a whole), its value, and why.
    void journalRefused(const RequestOrigin &origin, const QString &command,
                        const QString &parameter, const QString &value, const QString &reason);
    bool paused(RunId id) const;

signals:
    // Any of the four properties changed (one emission per change, carrying all four).
    void snapshotChanged(const SilaPump::Snapshot &snapshot);
    // A run's progress: delivered so far, 0..1, estimated seconds left (negative: unknown, e.g.
    // a flow until stopped).
    void runProgress(SilaPump::RunId id, double deliveredMl, double progress, double remainingS);
    void runPaused(SilaPump::RunId id, bool paused);
    // The run is over: failure None when it ended as asked. deliveredMl is the pump's count read
    // after it stopped (the last one it reported when that read failed); a failure's message
    // says it too.
    void runEnded(SilaPump::RunId id, double deliveredMl, const SilaPump::Outcome &outcome);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

Q_DECLARE_METATYPE(SilaPump::Snapshot)
Q_DECLARE_METATYPE(SilaPump::Outcome)
