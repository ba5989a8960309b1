#include "cli/ServeCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "platform/TerminationSignals.h"
#include "service/LeftRunStop.h"
#include "service/PumpService.h"
#include "service/ServiceBridge.h"
#include "sila/SilaIdentity.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>

#include <csignal>

ServeCommand::ServeCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump)
    : args(arguments)
    , output(output)
    , pump(pump)
{}

QVector<ServiceConfig::Setting> ServeCommand::commandLine() const
{
    QVector<ServiceConfig::Setting> settings;
    // In the order given to the file's keys of the same names.
    for (const char *option :
         {"broker", "id", "topic-prefix", "username", "password-file", "ca-file", "cert-file",
          "key-file", "sila", "sila-cert", "sila-key", "sila-name", "sila-client-ca",
          "sila-allow-control-for", "sila-vendor-url", "service-volume-ml", "service-hours"}) {
        const QString key = QLatin1String(option);
        if (args.values.contains(key))
            settings.push_back({key, args.values.value(key), 0});
    }
    const auto flag = [&](const char *option, const char *key, const char *value) {
        if (args.flags.contains(QLatin1String(option)))
            settings.push_back({QLatin1String(key), QLatin1String(value), 0});
    };
    flag("allow-control", "allow-control", "yes");
    flag("no-allow-control", "allow-control", "no");
    flag("allow-config", "allow-config", "yes");
    flag("no-allow-config", "allow-config", "no");
    flag("ha-discovery", "ha-discovery", "yes");
    flag("sila-insecure", "sila-insecure", "yes");
    flag("sila-allow-control", "sila-allow-control", "yes");
    flag("sila-no-allow-control", "sila-allow-control", "no");
    flag("sila-allow-anyone", "sila-allow-anyone", "yes");
    flag("sila-allow-config", "sila-allow-config", "yes");
    flag("sila-no-allow-config", "sila-allow-config", "no");
    flag("sila-no-discovery", "sila-discovery", "no");
    return settings;
}

bool ServeCommand::plans(QVector<PumpPlan> *into, ServicePlan *side, bool *named, int *exit)
{
    *exit = CliRunner::Usage;
    ServiceConfig config;
    QString problem;
    const QString file = args.values.value(QStringLiteral("config"));
    if (!file.isEmpty() && !ServiceConfig::read(file, &config, &problem)) {
        output.message(problem);
        return false;
    }
    *named = !config.pumps.isEmpty();
    if (*named && (!args.port.isEmpty() || args.address >= 0)) {
        output.message(QStringLiteral("%1 lists pumps, each with its own port and address: "
                                      "--port and --address name one pump")
                           .arg(file));
        return false;
    }
    // A service's credentials (systemd's LoadCredential=), so that its files can be root's alone.
    QVector<PumpPlan> plans;
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (!config.plans(credentials, commandLine(), &plans, &problem) ||
        !config.service(credentials, commandLine(), QSysInfo::machineHostName(), plans, side,
                        &problem)) {
        output.message(problem);
        return false;
    }
    if (!*named) {
        PumpPlan &plan = plans.first();
        problem = plan.problem();
        if (!problem.isEmpty()) {
            output.message(problem);
            return false;
        }
        if (!pump.choose(exit, plan.port, plan.address))
            return false;
        plan.port = pump.port();
        plan.address = pump.address();
    }
    for (PumpPlan &plan : plans) {
        // Each pump of several is a SiLA server of its own, with its own UUID.
        if (*named)
            plan.identityFolder = SilaIdentity::defaultFolder() + QLatin1Char('-') + plan.name;
    }
    *into = plans;
    *exit = CliRunner::Done;
    return true;
}

int ServeCommand::exec()
{
    QVector<PumpPlan> first;
    ServicePlan side;
    bool named = false;
    int exit = CliRunner::Done;
    if (!plans(&first, &side, &named, &exit))
        return exit;
    if (args.flags.contains(QStringLiteral("stop-left")))
        return stopLeft(output, first);
    QStringList warned;
    for (const PumpPlan &plan : first) {
        QStringList warnings;
        if (plan.mqtt())
            warnings << plan.bridge.exposedSecrets();
        if (plan.silaOn)
            warnings << plan.sila.exposedSecrets();
        for (const QString &warning : warnings) {
            if (!warned.contains(warning))
                output.message(warning);
            warned << warning;
        }
    }
    Reload reload;
    if (args.values.contains(QStringLiteral("config"))) {
        reload = [this, named](QVector<PumpPlan> *next, ServicePlan *nextSide, QString *why) {
            bool nowNamed = false;
            int code = CliRunner::Done;
            // The reasons go out as they are found; the caller adds what it kept.
            if (!plans(next, nextSide, &nowNamed, &code)) {
                *why = QString();
                return false;
            }
            if (nowNamed != named) {
                *why = QStringLiteral("the file changed between one pump and pumps in sections: "
                                      "restart the service for that");
                return false;
            }
            return true;
        };
    }
    return host(output, first, side, named, reload);
}

int ServeCommand::stopLeft(const CliOutput &output, const QVector<PumpPlan> &plans)
{
    Journal journal;
    std::vector<LeftRunStop::Line> lines;
    for (const PumpPlan &plan : plans)
        lines.push_back({plan.port, plan.address});
    LeftRunStop stop(journal, [&output](const QString &line) { output.message(line); });
    return stop.run(lines) ? CliRunner::Done : CliRunner::NoAnswer;
}

int ServeCommand::host(const CliOutput &output, const QVector<PumpPlan> &plans,
                       const ServicePlan &side, bool named, const Reload &reload)
{
    // One per process: every pump's thread hands its entries to it.
    Journal journal;
    PumpService service(&journal, QStringLiteral(DOSETTA_VERSION), named);
    QEventLoop loop;
    int status = CliRunner::Done;
    const auto exitFor = [](const ServedPump::Outcome &outcome) {
        return outcome.failure == ServedPump::Failure::Setup ? CliRunner::Usage
                                                             : CliRunner::NoAnswer;
    };
    QObject::connect(&service, &PumpService::logged, &loop,
                     [&output](const QString &line) { output.message(line); });
    // The service's own side on the broker, for programs across its pumps: made anew when a
    // reload changes it.
    std::unique_ptr<ServiceBridge> programs;
    const auto serveSide = [&](const ServicePlan &plan) {
        if (programs && programs->plan() == plan)
            return;
        if (programs)
            programs->finish(QStringLiteral("the service's settings changed"));
        programs.reset();
        if (!named || !plan.mqtt())
            return;
        programs = std::make_unique<ServiceBridge>(plan, service, &journal);
        QObject::connect(programs.get(), &ServiceBridge::logged, &loop,
                         [&output](const QString &line) { output.message(line); });
        programs->start();
    };
    QObject::connect(
        &service, &PumpService::silaServing, &loop,
        [&output](const QJsonObject &fields, const QString &text) { output.result(fields, text); });
    QObject::connect(&service, &PumpService::failed, &loop,
                     [&](const QString &name, const ServedPump::Outcome &outcome) {
                         output.message(outcome.reason);
                         if (!named) {
                             status = exitFor(outcome);
                             loop.exit();
                             return;
                         }
                         // Not from inside the pump's own signal.
                         QTimer::singleShot(0, &service, [&service, name] {
                             if (service.names().contains(name))
                                 service.finish(name);
                         });
                     });
    // Caught before the first pump starts, so that no signal in between is lost.
    TerminationSignals termination(RunLoop::endingSignals());
    QObject::connect(&termination, &TerminationSignals::received, &loop, [&](int number) {
        if (number != SIGHUP || !reload) {
            loop.exit();
            return;
        }
        QVector<PumpPlan> next;
        ServicePlan nextSide;
        QString why;
        if (!reload(&next, &nextSide, &why)) {
            output.message(QStringLiteral("reload refused%1; the pumps served stay as they were")
                               .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why));
            return;
        }
        serveSide(nextSide);
        const PumpService::Change change = service.apply(next);
        // The one pump of a file without sections has no name.
        const auto list = [](QStringList names) {
            names.replaceInStrings(QRegularExpression(QStringLiteral("^$")),
                                   QStringLiteral("the pump"));
            return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
        };
        output.message(
            QStringLiteral("reloaded: started %1; stopped %2; unchanged %3")
                .arg(list(change.started), list(change.stopped), list(change.unchanged)));
    });
    const PumpService::Change change = service.apply(plans);
    if (!named && !change.failed.isEmpty())
        return status;
    serveSide(side);
    loop.exec();
    // Every way out comes here: a signal, a refusal. A program across pumps is stopped and its
    // end published first; then each pump stops what it set going.
    if (programs)
        programs->finish(QStringLiteral("the service is ending"));
    service.finishAll();
    programs.reset();
    return status;
}
