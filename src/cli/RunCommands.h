#pragma once

#include "pump/DosingPlan.h"

class CliArguments;
class CliOutput;
class CliPump;
class RunLoop;

// dispense and run: set the pump up, start it and, with --wait, follow the run to its end with
// its progress on standard error. Once they have begun to set the pump up, they stop it before
// ending any other way than done: on a signal, a closed output pipe, a silent or failing pump.
class RunCommands
{
public:
    RunCommands(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int dispense();
    int run();

private:
    using Id = BusinessLogic::CommandSpezifier;

    // Sends the plan's steps in order; with --wait follows the run to its end. A plan that is
    // not ok is a usage error, and nothing is sent.
    int start(const Pump::DosingPlan &plan);
    int follow(RunLoop &loop, double targetVolume, int targetSeconds);
    // Sends Stop on the way out of a run this command started, when it ends other than done;
    // a lost port is opened again first. Says how it went and returns status.
    int stop(int status);

    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
