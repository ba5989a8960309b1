#include "service/ServedPump.h"

#include "journal/JournalEntry.h"
#include "platform/EscapedText.h"
#include "platform/UserFile.h"
#include "program/OrphanRuns.h"
#include "remote/BridgeSession.h"
#include "remote/HeadlessPump.h"
#include "service/ExitStop.h"
#include "sila/SilaPump.h"
#include "sila/SilaServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSysInfo>

namespace {

bool readFile(const QString &path, QByteArray *into, QString *error)
{
    return UserFile::read(path, 1024 * 1024, into, error);
}

QString allowed(bool allow)
{
    return allow ? QStringLiteral("allowed") : QStringLiteral("not allowed");
}

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    static const bool started = (clock.start(), true);
    Q_UNUSED(started)
    return clock.elapsed();
}

} // namespace

ServedPump::ServedPump(const PumpPlan &plan, Journal *processJournal, const QString &programVersion,
                       QObject *parent)
    : QObject(parent)
    , servedPlan(plan)
    , journal(processJournal)
    , version(programVersion)
{
    qRegisterMetaType<ServedPump::Outcome>();
    monotonicMs();
}

ServedPump::~ServedPump()
{
    finish();
}

PumpCore *ServedPump::core()
{
    return headless ? &headless->core() : nullptr;
}

ProgramRunner *ServedPump::runner()
{
    return headless ? &headless->runner() : nullptr;
}

ServedPump::Outcome ServedPump::start()
{
    starting = true;
    const Outcome outcome = startAll();
    starting = false;
    return outcome;
}

ServedPump::Outcome ServedPump::startAll()
{
    const PumpPlan &plan = servedPlan;
    pumpId = plan.pumpId(QSysInfo::machineHostName());
    // The identity first: a server that cannot say who it is serves nothing.
    if (plan.silaOn) {
        QString problem;
        const QString folder =
            plan.identityFolder.isEmpty() ? SilaIdentity::defaultFolder() : plan.identityFolder;
        if (!identity.load(folder, &problem) ||
            (!plan.sila.name.isEmpty() && plan.sila.name != identity.name() &&
             !identity.setName(plan.sila.name, &problem)))
            return {Failure::Setup, problem};
        if (plan.sila.insecure) {
            emit logged(QStringLiteral(
                "warning: --insecure: the server speaks plain text; anyone on the network can "
                "read the traffic and pose as this server. Leave it out to use TLS"));
        } else if (!plan.sila.certFile.isEmpty()) {
            if (!readFile(plan.sila.certFile, &certificatePem, &problem) ||
                !readFile(plan.sila.keyFile, &keyPem, &problem))
                return {Failure::Setup, problem};
            // A pair that does not fit is a wrong configuration, told before gRPC refuses it.
            problem = SilaIdentity::pairProblem(certificatePem, keyPem, plan.sila.certFile,
                                                plan.sila.keyFile);
            if (!problem.isEmpty())
                return {Failure::Setup, problem};
        } else {
            if (!identity.selfSigned(&certificatePem, &keyPem, &problem))
                return {Failure::Setup, problem};
            selfSigned = true;
        }
        if (!plan.sila.clientCaFile.isEmpty() &&
            !readFile(plan.sila.clientCaFile, &clientCaPem, &problem))
            return {Failure::Setup, problem};
        if (plan.sila.controlForAnyone())
            emit logged(
                QStringLiteral(
                    "warning: --allow-anyone: anyone who reaches %1 may run the pump, and the "
                    "journal knows them by their address alone. Give a client authority "
                    "(--client-ca) or listen on loopback")
                    .arg(plan.sila.listenAddress()));
    }
    // With both front-ends the bridge's origin stands for the host; each front-end names its
    // own clients on their requests.
    const RequestOrigin origin =
        plan.mqtt()
            ? RequestOrigin{QLatin1String(JournalEntry::Origin::Bridge), pumpId, {}, {}}
            : RequestOrigin{QLatin1String(JournalEntry::Origin::Sila), identity.uuid(), {}, {}};
    headless = std::make_unique<HeadlessPump>(plan.port, plan.address, journal, origin);
    watchPort();
    // Only this pump's front-ends set it going on this core: what runs at the end is theirs.
    ours = std::make_unique<ExitStop>(headless->core(), headless->runner());
    // Runs a process before this one left open on the pump: stopped and closed once it answers.
    orphans = std::make_unique<OrphanRuns>(headless->core(), headless->runner(),
                                           OrphanRuns::anyOrigin(), QString(), false);
    connect(orphans.get(), &OrphanRuns::logged, this, &ServedPump::logged);
    if (plan.mqtt()) {
        startBridge();
        if (bridge->state() == BridgeSession::State::Refused)
            return {Failure::Unreachable, QStringLiteral("the broker %1 refused the bridge: %2")
                                              .arg(plan.bridge.shownBroker(), bridge->reason())};
    }
    if (plan.silaOn)
        return startSila();
    return {};
}

void ServedPump::watchPort()
{
    const auto look = [this] {
        const QString problem = headless->portOpen() ? QString() : headless->problem().text();
        const QString line =
            portNotice.update(problem, monotonicMs(), HeadlessPump::ReopenMs / 1000);
        if (!line.isEmpty())
            emit logged(line);
    };
    connect(&portTimer, &QTimer::timeout, this, look);
    portTimer.start(1000);
    look();
}

void ServedPump::startBridge()
{
    const BridgeOptions &options = servedPlan.bridge;
    // The window's own bridge session: the same publishing, control and reconnection.
    bridge = std::make_unique<BridgeSession>(headless->core(), headless->runner(), version);
    BridgeSession *b = bridge.get();
    connect(b, &BridgeSession::stateChanged, this, [this, b](BridgeSession::State s) {
        if (ending)
            return;
        const BridgeOptions &options = servedPlan.bridge;
        switch (s) {
        case BridgeSession::State::Publishing:
            lastBridgeFailure.clear();
            emit logged(QStringLiteral("publishing %1 on %2 (remote control %3, configuration %4)")
                            .arg(b->topicRoot(), options.shownBroker(),
                                 allowed(options.allowControl), allowed(options.allowConfig)));
            break;
        case BridgeSession::State::Refused:
            // While starting, start() reports it.
            if (!starting)
                emit failed(
                    {Failure::Unreachable, QStringLiteral("the broker %1 refused the bridge: %2")
                                               .arg(options.shownBroker(), b->reason())});
            break;
        case BridgeSession::State::Connecting:
            // Said once per reason, not at every attempt.
            if (!b->reason().isEmpty() && b->reason() != lastBridgeFailure)
                emit logged(b->reason() == BridgeSession::lostText()
                                ? QStringLiteral("lost the broker %1; reconnecting")
                                      .arg(options.shownBroker())
                                : QStringLiteral("cannot reach the broker %1: %2; trying again")
                                      .arg(options.shownBroker(), b->reason()));
            lastBridgeFailure = b->reason();
            break;
        case BridgeSession::State::Off:
            break;
        }
    });
    connect(b, &BridgeSession::logged, this, &ServedPump::logged);
    connect(b, &BridgeSession::subscriptionFailed, this,
            [this](const QString &filter, const QString &reason) {
                emit logged(QStringLiteral("the broker %1 refused the subscription to %2: %3")
                                .arg(servedPlan.bridge.shownBroker(), filter, reason));
            });
    // A refusal at once comes back through the state; start() reports it then.
    b->start(options, pumpId);
}

ServedPump::Outcome ServedPump::startSila()
{
    const SilaOptions &options = servedPlan.sila;
    SilaServer::Config config;
    config.host = options.listenHost(); // IPv6 without brackets: the server adds them
    config.port = options.listenPort;
    config.insecure = options.insecure;
    config.allowControl = options.allowControl;
    config.controlFor = options.controlFor;
    config.clientCaPem = clientCaPem;
    config.allowConfig = options.allowConfig;
    config.version = version;
    config.description = QStringLiteral("DOSETTA: a FLUXO dosing pump on %1, address %2")
                             .arg(servedPlan.port)
                             .arg(servedPlan.address);
    config.vendorUrl = options.vendorUrl;
    config.certificatePem = certificatePem;
    config.keyPem = keyPem;
    silaPump = std::make_unique<SilaPump>(headless->core(), headless->runner());
    silaServer = std::make_unique<SilaServer>(*silaPump, identity);
    connect(silaServer.get(), &SilaServer::logged, this, &ServedPump::logged);
    QString problem;
    if (!silaServer->start(config, &problem))
        return {Failure::Unreachable,
                QStringLiteral("cannot serve on %1: %2").arg(options.listenAddress(), problem)};
    const quint16 port = silaServer->port();
    QString security = options.insecure ? QStringLiteral("plain text")
                       : selfSigned     ? QStringLiteral("TLS, self-signed")
                                        : QStringLiteral("TLS");
    if (!clientCaPem.isEmpty())
        security += QStringLiteral(", client certificates required");
    const SilaPermission control = options.control();
    QString controlText = control.text();
    if (options.controlForAnyone())
        controlText += QStringLiteral(" to anyone (--allow-anyone)");
    // What was bound, not what was asked: a name may give IPv4 and IPv6, a wildcard both.
    QStringList bound = silaServer->addresses();
    if (bound.isEmpty())
        bound << options.listenAddress(port);
    QJsonArray controlFor;
    for (const QString &name : control.names())
        controlFor.append(name);
    QJsonObject fields{{QStringLiteral("listen"), options.listenAddress(port)},
                       {QStringLiteral("port"), port},
                       {QStringLiteral("tls"), !options.insecure},
                       {QStringLiteral("uuid"), identity.uuid()},
                       {QStringLiteral("name"), identity.name()},
                       {QStringLiteral("config"), options.allowConfig},
                       {QStringLiteral("control"), options.allowControl},
                       {QStringLiteral("control_for"), controlFor},
                       {QStringLiteral("client_ca"), !clientCaPem.isEmpty()},
                       {QStringLiteral("allow_anyone"), options.controlForAnyone()},
                       {QStringLiteral("bound"), QJsonArray::fromStringList(bound)}};
    if (!servedPlan.name.isEmpty())
        fields.insert(QStringLiteral("pump"), servedPlan.name);
    // The address last: a script takes the port from the end of the line. The name may have
    // come from a client: the line shows it escaped.
    emit silaServing(fields, QStringLiteral("serving SiLA 2 (%1, server UUID %2, name \"%3\", "
                                            "configuration %4, control %5) on %6")
                                 .arg(security, identity.uuid(), EscapedText::text(identity.name()),
                                      allowed(options.allowConfig), controlText,
                                      bound.join(QStringLiteral(", "))));
    if (!options.discovery)
        return {};
    record.uuid = identity.uuid();
    record.port = port;
    record.version = version;
    record.serverName = identity.name();
    record.description = config.description;
    // Clients learn the authority from the record only for our own certificate; the lab's is
    // theirs to hand out.
    if (selfSigned)
        record.caPem = certificatePem;
    discovery = std::make_unique<SilaDiscovery>();
    connect(discovery.get(), &SilaDiscovery::problem, this, [this](const QString &reason) {
        emit logged(QStringLiteral("discovery: %1").arg(reason));
    });
    connect(discovery.get(), &SilaDiscovery::announced, this, [this](const QString &instance) {
        emit logged(QStringLiteral("announced as %1._sila._tcp").arg(instance));
    });
    connect(silaServer.get(), &SilaServer::serverNameChanged, this, [this](const QString &name) {
        record.serverName = name;
        discovery->publish(record);
    });
    discovery->publish(record);
    return {};
}

void ServedPump::finish()
{
    if (finished)
        return;
    finished = true;
    ending = true;
    portTimer.stop();
    if (discovery)
        discovery->withdraw();
    // Stop first, while the broker still hears how it went; then "offline".
    if (bridge)
        bridge->stopTakingRequests();
    const bool stopNeeded = ours && ours->needed();
    // Priming goes on until stopped, and nobody would be left to stop it.
    if (stopNeeded && silaPump)
        silaPump->stop();
    if (silaServer)
        silaServer->shutdown();
    if (stopNeeded) {
        const QString who = servedPlan.mqtt() && servedPlan.silaOn ? QStringLiteral("the service")
                            : servedPlan.mqtt()                    ? QStringLiteral("the bridge")
                                                : QStringLiteral("a SiLA client");
        emit logged(ExitStop::stopPump(headless->core(), ExitStop::BoundMs)
                        ? QStringLiteral("the pump was stopped: %1 set it going").arg(who)
                        : QStringLiteral("the pump did not confirm the Stop; check it"));
    }
    // The journal then holds the run's end.
    if (headless)
        ExitStop::awaitEnd(headless->runner());
    if (bridge)
        bridge->stop();
}
