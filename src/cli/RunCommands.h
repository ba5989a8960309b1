#pragma once

#include "pump/KeyTable.h"

#include <optional>
#include <vector>

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

    struct Step
    {
        Id command;
        long value;
        const char *what; // for messages
    };

    // The option's value checked by the key; nothing when the option was not given.
    std::optional<Pump::KeyTable::Setting> optionValue(const char *option, const char *key) const;
    // Sends the steps in order; with --wait follows the run to its end.
    int start(const std::vector<Step> &steps, double targetVolume, int targetSeconds);
    int follow(RunLoop &loop, double targetVolume, int targetSeconds);
    // Sends Stop on the way out of a run this command started, when it ends other than done;
    // a lost port is opened again first. Says how it went and returns status.
    int stop(int status);

    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
