#pragma once

#include "program/ProgramStatus.h"
#include "program/ProgramStep.h"
#include "pump/DosingPlan.h"

#include <QJsonObject>

#include <optional>

class CliArguments;
class CliOutput;
class CliPump;
class ProgramRunner;
class PumpCore;

// dispense and run: a one-step run on the core's program runner, which sets the pump up, starts
// it and judges its end, as it does for every front-end. With --wait the runner's end (its cause,
// the pump's count read after the end, the error flags) is the result; without, the tool waits
// until the pump took the start and leaves the run to it. Once the run was asked for, the pump is
// stopped on any way out other than done or left: a signal, a closed output pipe, a silent or
// failing pump.
class RunCommands
{
public:
    RunCommands(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int dispense();
    int run();
    // Primes until stopped, as a run left to the pump once it took the prime.
    int prime();

    // The result fields of a run's end: cause, volume_delivered_ml (the runner's count), whether
    // that count was read after the end, and the error flags when the pump named some.
    static QJsonObject endFields(const ProgramStatus &status);

private:
    // A plan that is not ok is a usage error, and nothing is opened or sent.
    int start(const Pump::DosingPlan &plan);
    // targetVolume (ml) and targetSeconds for the progress shown; 0 for none.
    int go(const ProgramStep &step, double targetVolume, int targetSeconds);
    // The tool's words for a run that ended other than done; returns the exit status.
    int failed(PumpCore &core, const ProgramStatus &end, bool everConnected);
    // A signal or a closed output pipe: the pump is stopped and the run's end awaited.
    int interrupted(PumpCore &core, ProgramRunner &runner, int status,
                    std::optional<ProgramStatus> &end);
    // The port was lost during the run: the pump is stopped once it is back.
    int portGone(PumpCore &core, ProgramRunner &runner, std::optional<ProgramStatus> &end);
    static void waitForEnd(ProgramRunner &runner, std::optional<ProgramStatus> &end);

    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
