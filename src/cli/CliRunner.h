#pragma once

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/PumpSession.h"

#include <memory>
#include <optional>
#include <vector>

class RunLoop;

// Carries out one command line of dosetta-cli and gives its exit status.
class CliRunner
{
public:
    enum Exit { Done = 0, Refused = 1, Usage = 2, NoAnswer = 3 };

    explicit CliRunner(const CliArguments &arguments);
    ~CliRunner();

    int run();

    // "dosetta-cli help keys": every key with its unit, limits or entries and whether it can
    // be read and set.
    static QString keysHelp();

private:
    using Id = BusinessLogic::CommandSpezifier;

    int ports();
    int search();
    int status();
    int get();
    int set();
    int action(Id command, const QString &name);
    int dispense();
    int runFlow();
    int watch();
    int raw();
    int serve();
    int help();

    // Finds the port and the address: the command line, a configuration file's, the
    // environment, the window's settings. False (with the message given) when there is no port.
    bool findLine(int *exit, const QString &configPort = QString(), int configAddress = -1);
    // Finds the port and the address and opens the port; false (with the message given) when
    // it cannot. *exit tells which status to end with then.
    bool connectPump(int *exit);
    // A command that must be taken: true when it was; otherwise the message is given and *exit
    // set.
    bool send(Id command, long value, const QString &what, int *exit);
    int refused(const QString &what);
    // Refused, with the flags named, when the key is the error flags and one is set.
    int errorsIn(const Pump::KeyTable::Key &key);
    int silent(const QString &what);
    // The lit error flags after reading them; nothing when the pump did not answer.
    std::optional<QStringList> errorFlags();
    struct Step
    {
        Id command;
        long value;
        const char *what; // for messages
    };
    // The option's value checked by the key; nothing when the option was not given.
    std::optional<Pump::KeyTable::Setting> optionValue(const char *option, const char *key) const;
    // Sends the steps in order; with --wait follows the run to its end.
    int startRun(const std::vector<Step> &steps, double targetVolume, int targetSeconds);
    int waitForRun(RunLoop &loop, const QString &command, double targetVolume, int targetSeconds);
    // Sends Stop on the way out of a run this command started, when it ends other than done;
    // a lost port is opened again first. Says how it went and returns status.
    int stopRun(int status);

    const CliArguments &args;
    CliOutput output;
    std::unique_ptr<PumpSession> session;
    QString portName;
    int address = 0;
};
