#pragma once

#include "program/ProgramStatus.h"
#include "pumpcore/RequestOrigin.h"
#include "recorder/ProcessSample.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

class PumpCore;
class ProgramRunner;
struct Answer;

// Runs the runner did not start: the window's Start and Prime keys (which send the pump's own
// commands), the pump's keypad, a digital input. Seen in the polled state, each becomes a run
// with that origin in the journal, and ends like every other: with its cause and the pump's own
// count, read once more after it stood.
class OutsideRuns : public QObject
{
    Q_OBJECT

public:
    // A Start or Prime from a front-end this long before the pump is seen running started it;
    // without one, the pump's keypad or an input did.
    static constexpr int StartWindowMs = 5000;
    // Samples in a row that show the pump running before a run is opened: one picture may mix
    // two rounds.
    static constexpr int RunningSamples = 2;
    // Samples to wait for the error flags once the pump said it has an error: longer than the
    // poller's round of the status groups.
    static constexpr int ErrorNameTicks = 8;

    OutsideRuns(PumpCore &core, const ProgramRunner &runner, QObject *parent = nullptr);
    ~OutsideRuns() override;

    // The open run, or idle.
    const ProgramStatus &status() const { return run; }

signals:
    void started(const ProgramStatus &status);
    void ended(const ProgramStatus &status);

private:
    void answered(const Answer &answer);
    void sampled(const ProcessSample &sample);
    void open(const ProcessSample &sample);
    void readCount();
    void close(ProgramStatus::State state, ProgramStatus::Cause cause, const QString &reason);

    PumpCore &core;
    const ProgramRunner &runner;
    ProgramStatus run;
    int runningSeen = 0;
    int errorTicks = 0;
    // The last Start or Prime a front-end got taken, and when.
    RequestOrigin startedBy;
    QElapsedTimer startClock;
    bool primed = false;
    std::optional<ProcessSample> last;
    // Ending: the count's query and its bound.
    quint64 volumeTicket = 0;
    quint64 timeTicket = 0;
    ProgramStatus::State endState = ProgramStatus::State::Idle;
    ProgramStatus::Cause endCause = ProgramStatus::Cause::None;
    QString endReason;
    QTimer countTimer;
    QTimer linkTimer;
    QElapsedTimer runClock;
};
