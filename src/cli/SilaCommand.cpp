#include "cli/SilaCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliPump.h"
#include "cli/CliRunner.h"
#include "cli/ExitStop.h"
#include "cli/RunLoop.h"
#include "journal/Journal.h"
#include "platform/EscapedText.h"
#include "platform/TerminationSignals.h"
#include "program/OrphanRuns.h"
#include "remote/HeadlessPump.h"
#include "sila/SilaDiscovery.h"
#include "sila/SilaIdentity.h"
#include "sila/SilaOptions.h"
#include "sila/SilaPump.h"
#include "sila/SilaServer.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonObject>

namespace {

bool readFile(const QString &path, QByteArray *into, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    *into = file.read(1024 * 1024);
    return true;
}

} // namespace

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
    options.insecure = options.insecure || args.flags.contains(QStringLiteral("insecure"));
    // Given here, either way, it wins over the file.
    args.permission(QStringLiteral("allow-control"), options.allowControl);
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

    SilaIdentity identity;
    const QString folder = SilaIdentity::defaultFolder();
    if (!identity.load(folder, &problem) ||
        (!options.name.isEmpty() && options.name != identity.name() &&
         !identity.setName(options.name, &problem))) {
        output.message(problem);
        return CliRunner::Usage;
    }
    SilaServer::Config serverConfig;
    serverConfig.host = options.host; // IPv6 without brackets: the server adds them
    serverConfig.port = options.listenPort;
    serverConfig.insecure = options.insecure;
    serverConfig.allowControl = options.allowControl;
    serverConfig.allowConfig = options.allowConfig;
    serverConfig.version = QStringLiteral(DOSETTA_VERSION);
    serverConfig.description = QStringLiteral("DOSETTA: a FLUXO dosing pump on %1, address %2")
                                   .arg(pump.port())
                                   .arg(pump.address());
    bool selfSigned = false;
    if (options.insecure) {
        output.message(QStringLiteral(
            "warning: --insecure: the server speaks plain text; anyone on the network can read "
            "the traffic and pose as this server. Leave it out to use TLS"));
    } else if (!options.certFile.isEmpty()) {
        if (!readFile(options.certFile, &serverConfig.certificatePem, &problem) ||
            !readFile(options.keyFile, &serverConfig.keyPem, &problem)) {
            output.message(problem);
            return CliRunner::Usage;
        }
    } else {
        if (!identity.selfSigned(&serverConfig.certificatePem, &serverConfig.keyPem, &problem)) {
            output.message(problem);
            return CliRunner::Usage;
        }
        selfSigned = true;
    }

    Journal journal;
    HeadlessPump headless(
        pump.port(), pump.address(), &journal,
        {QLatin1String(JournalEntry::Origin::Sila), identity.uuid(), QString(), QString()});
    if (!headless.portOpen())
        output.message(QStringLiteral("%1; trying again every %2 s")
                           .arg(headless.problem().text())
                           .arg(HeadlessPump::ReopenMs / 1000));
    // Only SiLA clients set the pump going on this core: what runs at the end is theirs.
    ExitStop ours(headless.core(), headless.runner());
    // Runs a process before this one left open on the pump: stopped and closed once it answers.
    OrphanRuns orphans(headless.core(), headless.runner(), OrphanRuns::anyOrigin(), QString(),
                       false);
    QObject::connect(&orphans, &OrphanRuns::logged, &orphans,
                     [this](const QString &line) { output.message(line); });
    SilaPump silaPump(headless.core(), headless.runner());
    SilaServer server(silaPump, identity);
    QObject::connect(&server, &SilaServer::logged, &server,
                     [this](const QString &line) { output.message(line); });
    // Caught before the server listens, so that no signal between the two is lost.
    QEventLoop loop;
    TerminationSignals termination(RunLoop::endingSignals());
    QObject::connect(&termination, &TerminationSignals::received, &loop, [&] { loop.exit(); });
    if (!server.start(serverConfig, &problem)) {
        output.message(
            QStringLiteral("cannot serve on %1: %2").arg(options.listenAddress(), problem));
        return CliRunner::NoAnswer;
    }
    const QString security = options.insecure ? QStringLiteral("plain text")
                             : selfSigned     ? QStringLiteral("TLS, self-signed")
                                              : QStringLiteral("TLS");
    const auto allowed = [](bool allow) {
        return allow ? QStringLiteral("allowed") : QStringLiteral("not allowed");
    };
    // The address last: a script takes the port from the end of the line. The name may have
    // come from a client: the line shows it escaped.
    output.result(
        {{QStringLiteral("listen"), options.listenAddress(server.port())},
         {QStringLiteral("port"), server.port()},
         {QStringLiteral("tls"), !options.insecure},
         {QStringLiteral("uuid"), identity.uuid()},
         {QStringLiteral("name"), identity.name()},
         {QStringLiteral("config"), options.allowConfig},
         {QStringLiteral("control"), options.allowControl}},
        QStringLiteral("serving SiLA 2 (%1, server UUID %2, name \"%3\", configuration %4, "
                       "control %5) on %6")
            .arg(security, identity.uuid(), EscapedText::text(identity.name()),
                 allowed(options.allowConfig), allowed(options.allowControl),
                 options.listenAddress(server.port())));

    SilaDiscovery discovery;
    SilaDiscovery::Record record;
    record.uuid = identity.uuid();
    record.port = server.port();
    record.version = serverConfig.version;
    record.serverName = identity.name();
    record.description = serverConfig.description;
    // Clients learn the authority from the record only for our own certificate; the lab's is
    // theirs to hand out.
    if (selfSigned)
        record.caPem = serverConfig.certificatePem;
    if (options.discovery) {
        QObject::connect(&discovery, &SilaDiscovery::problem, &discovery,
                         [this](const QString &reason) {
                             output.message(QStringLiteral("discovery: %1").arg(reason));
                         });
        QObject::connect(
            &discovery, &SilaDiscovery::announced, &discovery, [this](const QString &instance) {
                output.message(QStringLiteral("announced as %1._sila._tcp").arg(instance));
            });
        QObject::connect(&server, &SilaServer::serverNameChanged, &discovery,
                         [&](const QString &name) {
                             record.serverName = name;
                             discovery.publish(record);
                         });
        discovery.publish(record);
    }

    loop.exec();

    discovery.withdraw();
    // Priming goes on until stopped, and nobody would be left to stop it.
    const bool stopNeeded = ours.needed();
    if (stopNeeded)
        silaPump.stop();
    server.shutdown();
    if (stopNeeded && !ExitStop::stopPump(headless.core(), ExitStop::BoundMs))
        output.message(QStringLiteral("the pump did not confirm the Stop; check it"));
    // The journal, written as it goes out of scope, then holds the run's end.
    ExitStop::awaitEnd(headless.runner());
    return CliRunner::Done;
}
