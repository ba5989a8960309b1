#pragma once

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "pump/KeyTable.h"

#include <memory>

class CliPump;

// Carries out one command line of dosetta-cli and gives its exit status: the table of commands,
// and the ones that read, set or ask the pump once. dispense, run and watch have classes of their
// own.
class CliRunner
{
public:
    enum Exit { Done = 0, Refused = 1, Usage = 2, NoAnswer = 3 };

    explicit CliRunner(const CliArguments &arguments);
    ~CliRunner();

    int run();

    // "dosetta-cli help keys": every key with its output name, unit, limits or entries and
    // whether it can be read and set.
    static QString keysHelp();

private:
    using Id = BusinessLogic::CommandSpezifier;

    int ports();
    int search();
    int status();
    int get();
    int set();
    int action(Id command, const QString &name);
    int raw();
    int serve();
    int program();
    int help();

    const CliArguments &args;
    CliOutput output;
    std::unique_ptr<CliPump> pump;
};
