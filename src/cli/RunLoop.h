#pragma once

#include "platform/TerminationSignals.h"

#include <QObject>

#include <functional>
#include <optional>

class CliOutput;
class PumpSession;

// Polls the pump at an interval on the event loop until a tick says it is done. SIGINT and
// SIGTERM (and SIGHUP) end it too, but only after Stop went to the pump: an interrupted script
// never leaves a pump dosing.
class RunLoop : public QObject
{
    Q_OBJECT

public:
    // Returns the exit status once done, nothing to go on.
    using Tick = std::function<std::optional<int>()>;

    // Catches the signals from here on: make it before the first command that sets the pump
    // going, so that a Ctrl-C in between is not lost.
    RunLoop(PumpSession &session, const CliOutput &output);

    // Runs the first tick at once, then one every intervalMs; returns the exit status.
    int exec(int intervalMs, const Tick &tick);

private:
    PumpSession &session;
    const CliOutput &output;
    TerminationSignals termination;
};
