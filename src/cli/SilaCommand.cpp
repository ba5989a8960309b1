#include "cli/SilaCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/ServeCommand.h"
#include "service/PumpPlan.h"
#include "sila/SilaOptions.h"

SilaCommand::SilaCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump)
    : args(arguments)
    , output(output)
    , pump(pump)
{}

int SilaCommand::exec()
{
    SilaOptions options;
    QString problem;
    const QString config = args.values.value(QStringLiteral("config"));
    if (!config.isEmpty() && !options.readConfig(config, &problem)) {
        output.message(problem);
        return CliRunner::Usage;
    }
    // After the server, whatever its options: only the pump's line counts.
    if (args.flags.contains(QStringLiteral("stop-left"))) {
        int exit = CliRunner::Done;
        if (!pump.choose(&exit, options.port, options.address))
            return exit;
        PumpPlan plan;
        plan.port = pump.port();
        plan.address = pump.address();
        return ServeCommand::stopLeft(output, {plan});
    }
    // A service's key as a credential (systemd's LoadCredential=), so that its file is root's.
    options.readCredentials(qEnvironmentVariable("CREDENTIALS_DIRECTORY"));
    const QString listen = args.values.value(QStringLiteral("listen"));
    if (!listen.isEmpty() && !options.setListen(listen, &problem)) {
        output.message(QStringLiteral("--listen: %1").arg(problem));
        return CliRunner::Usage;
    }
    const auto take = [this](const char *option, QString &into) {
        if (args.values.contains(QLatin1String(option)))
            into = args.values.value(QLatin1String(option));
    };
    take("cert", options.certFile);
    take("key", options.keyFile);
    take("name", options.name);
    take("vendor-url", options.vendorUrl);
    take("client-ca", options.clientCaFile);
    options.insecure = options.insecure || args.flags.contains(QStringLiteral("insecure"));
    // Given here, either way, it wins over the file.
    args.permission(QStringLiteral("allow-control"), options.allowControl);
    if (args.flags.contains(QStringLiteral("allow-control")) ||
        args.flags.contains(QStringLiteral("no-allow-control")))
        options.controlFor.clear();
    const QString names = args.values.value(QStringLiteral("allow-control-for"));
    if (!names.isEmpty() && !options.takeControlFor(names, &problem)) {
        output.message(QStringLiteral("--allow-control-for: %1").arg(problem));
        return CliRunner::Usage;
    }
    if (args.flags.contains(QStringLiteral("allow-anyone")))
        options.allowAnyone = true;
    args.permission(QStringLiteral("allow-config"), options.allowConfig);
    if (args.flags.contains(QStringLiteral("no-discovery")))
        options.discovery = false;
    problem = options.problem();
    if (!problem.isEmpty()) {
        output.message(problem);
        return CliRunner::Usage;
    }
    for (const QString &warning : options.exposedSecrets())
        output.message(warning);
    int exit = CliRunner::Done;
    if (!pump.choose(&exit, options.port, options.address))
        return exit;
    // The SiLA-only form of the service: the same served pump, without a broker.
    PumpPlan plan;
    plan.port = pump.port();
    plan.address = pump.address();
    plan.silaOn = true;
    plan.sila = options;
    return ServeCommand::host(output, {plan}, ServicePlan(), false, {});
}
