#pragma once

#include "service/ServiceConfig.h"

#include <QVector>

#include <functional>

class CliArguments;
class CliOutput;
class CliPump;
class PumpPlan;

// serve: the service for one pump, or for every pump a configuration file lists in [pump NAME]
// sections, over MQTT (--broker), SiLA (--sila HOST:PORT and the sila command's options
// prefixed --sila-) or both on one core, until SIGTERM, SIGINT or SIGQUIT. SIGHUP reloads the
// configuration file when there is one (pumps added start, removed ones stop, changed ones
// start again, the rest run on); without one it ends the service as the others do.
class ServeCommand
{
public:
    ServeCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int exec();

    using Reload = std::function<bool(QVector<PumpPlan> *, ServicePlan *, QString *)>;

    // Serves the plans until a signal ends it; reload, when given, makes the next set on SIGHUP
    // (false, with the reason, keeps the pumps as they are). named: several pumps, each line
    // with its pump's name; otherwise a pump that fails ends the service with its status. Several
    // pumps and a service plan with a broker: the service takes programs across its pumps too.
    static int host(const CliOutput &output, const QVector<PumpPlan> &plans,
                    const ServicePlan &service, bool named, const Reload &reload);

    // Serves nothing: closes the runs an ended service left open on the plans' pumps, stopping
    // a pump still going. Done, or NoAnswer when a pump or the journal could not be reached.
    static int stopLeft(const CliOutput &output, const QVector<PumpPlan> &plans);

private:
    // The pumps the configuration file and the command line describe; false with *exit set and
    // the message given.
    bool plans(QVector<PumpPlan> *into, ServicePlan *side, bool *named, int *exit);
    QVector<ServiceConfig::Setting> commandLine() const;

    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
