#pragma once

#include "platform/TerminationSignals.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

// Polls the pump at an interval on the event loop until a tick says it is done, or until it is
// interrupted: by SIGINT, SIGTERM, SIGHUP or SIGQUIT, or by a reader of the output that went
// away. What to do with the pump then is the caller's choice: a command that started it stops it,
// one that only watches leaves it.
class RunLoop : public QObject
{
    Q_OBJECT

public:
    // Returns the exit status once done, nothing to go on.
    using Tick = std::function<std::optional<int>()>;
    // The status of a tool whose output pipe was closed, as a shell reports one that SIGPIPE
    // ended: 128 + 13.
    static constexpr int ReaderGone = 141;

    // The signals the tool ends on.
    static std::vector<int> endingSignals();

    // Catches the signals from here on: make it before the first command that sets the pump
    // going, so that a Ctrl-C in between is not lost.
    RunLoop();

    // 128 + the signal's number once one arrived, ReaderGone once a write met a closed pipe,
    // else nothing. Also usable between blocking exchanges, when no event loop runs.
    std::optional<int> interruption();

    // Runs the first tick at once, then one every intervalMs; returns the tick's exit status or
    // the interruption's.
    int exec(int intervalMs, const Tick &tick);
    // Ticks every intervalMs from the next tick on; a tick may call it.
    void setInterval(int intervalMs) { wantedMs = intervalMs; }

private:
    TerminationSignals termination;
    int signalNumber = 0;
    int wantedMs = 0; // 0: as exec was given
};
