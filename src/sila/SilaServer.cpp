#include "SilaServer.h"

#include "SilaCallGate.h"
#include "SilaCancelService.h"
#include "SilaCoreService.h"
#include "SilaDosingService.h"
#include "SilaExecutions.h"
#include "SilaPauseService.h"
#include "platform/EscapedText.h"
#include "platform/ListeningAddresses.h"
#include "platform/RepeatedLine.h"

#include <grpcpp/resource_quota.h>
#include <grpcpp/security/server_credentials.h>
#include <grpcpp/server.h>
#include <grpcpp/server_builder.h>

#include <chrono>

namespace {

constexpr int MaxRequestBytes = 64 * 1024;
constexpr int MaxStreamsPerConnection = 100;
constexpr std::size_t MaxMemoryBytes = 64 * 1024 * 1024;

// How long a shutdown waits for calls to finish before gRPC cancels them.
constexpr auto ShutdownDeadline = std::chrono::seconds(2);

std::shared_ptr<grpc::ServerCredentials> tlsCredentials(const SilaServer::Config &config)
{
    grpc::SslServerCredentialsOptions options;
    options.pem_key_cert_pairs.push_back(
        {config.keyPem.toStdString(), config.certificatePem.toStdString()});
    if (!config.clientCaPem.isEmpty()) {
        // A client without a certificate from the lab's authority never gets past the
        // handshake, so no call of its reaches us.
        options.pem_root_certs = config.clientCaPem.toStdString();
        options.client_certificate_request =
            GRPC_SSL_REQUEST_AND_REQUIRE_CLIENT_CERTIFICATE_AND_VERIFY;
    }
    return grpc::SslServerCredentials(options);
}

} // namespace

struct SilaServer::Private
{
    Private(SilaServer &server, SilaPump &pump, SilaIdentity &identity)
        : pump(pump)
        , identity(identity)
        , gate(server)
        , journal([&server](const QString &line) { emit server.logged(line); })
    {}

    SilaPump &pump;
    SilaIdentity &identity;
    SilaCallGate gate;
    SilaExecutions executions;
    // A flood of one request from clients costs the journal a line a second.
    RepeatedLine journal;
    std::unique_ptr<SilaCoreService> core;
    std::unique_ptr<SilaDosingService> dosing;
    std::unique_ptr<SilaPauseService> pausing;
    std::unique_ptr<SilaCancelService> cancelling;
    std::unique_ptr<grpc::Server> server;
    int port = 0;
    QStringList addresses;
};

SilaServer::SilaServer(SilaPump &pump, SilaIdentity &identity, QObject *parent)
    : QObject(parent)
    , d(new Private(*this, pump, identity))
{}

SilaServer::~SilaServer()
{
    shutdown();
}

bool SilaServer::start(const Config &config, QString *error)
{
    if (d->server || d->core) {
        *error = QStringLiteral("the server has been started already");
        return false;
    }
    std::shared_ptr<grpc::ServerCredentials> credentials;
    if (config.insecure) {
        credentials = grpc::InsecureServerCredentials();
    } else {
        if (config.certificatePem.isEmpty() || config.keyPem.isEmpty()) {
            *error = QStringLiteral("TLS needs a certificate and its key");
            return false;
        }
        credentials = tlsCredentials(config);
    }
    if (!config.controlFor.isEmpty() && config.clientCaPem.isEmpty()) {
        *error = QStringLiteral("control for named clients needs a client authority");
        return false;
    }
    if (config.insecure && !config.clientCaPem.isEmpty()) {
        *error = QStringLiteral("plain text has no client certificates");
        return false;
    }
    const SilaPermission control(config.allowControl, config.controlFor);
    // An IPv6 address goes in brackets before the port.
    const QString host = config.host.contains(QLatin1Char(':'))
                             ? QStringLiteral("[%1]").arg(config.host)
                             : config.host;
    const QString address = QStringLiteral("%1:%2").arg(host).arg(config.port);

    auto log = [this](const QString &line) {
        d->journal.add(line);
    };
    d->core.reset(new SilaCoreService(
        d->gate, d->identity,
        {config.version, config.description,
         config.vendorUrl.isEmpty() ? SilaCoreService::DefaultVendorUrl : config.vendorUrl},
        config.allowConfig,
        [this, log](const QString &name) {
            // The client's text, which the journal must show without obeying it.
            log(QStringLiteral("SetServerName %1").arg(EscapedText::text(name)));
            emit serverNameChanged(name);
        },
        log));
    d->dosing.reset(new SilaDosingService(d->gate, d->pump, d->executions, control));
    connect(d->dosing.get(), &SilaDosingService::logged, this, log);
    d->pausing.reset(new SilaPauseService(d->gate, d->pump, d->executions, control, log));
    d->cancelling.reset(new SilaCancelService(d->gate, d->pump, d->executions, log));

    grpc::ServerBuilder builder;
    // gRPC shares a port with whoever else binds it on Linux; a second server on a pump's port
    // would take half of its clients.
    builder.AddChannelArgument(GRPC_ARG_ALLOW_REUSEPORT, 0);
    // What one client may ask of a server on a shared network is bounded: every request we take
    // is a few hundred bytes, streams per connection are few, and a client that vanished
    // without closing its connection is found by keepalive and its streams end.
    builder.SetMaxReceiveMessageSize(MaxRequestBytes);
    builder.AddChannelArgument(GRPC_ARG_MAX_CONCURRENT_STREAMS, MaxStreamsPerConnection);
    builder.AddChannelArgument(GRPC_ARG_KEEPALIVE_TIME_MS, 60 * 1000);
    builder.AddChannelArgument(GRPC_ARG_KEEPALIVE_TIMEOUT_MS, 20 * 1000);
    grpc::ResourceQuota quota("dosetta-sila");
    quota.Resize(MaxMemoryBytes);
    builder.SetResourceQuota(quota);
    int selected = 0;
    builder.AddListeningPort(address.toStdString(), credentials, &selected);
    builder.RegisterService(d->core.get());
    builder.RegisterService(d->dosing.get());
    builder.RegisterService(d->pausing.get());
    builder.RegisterService(d->cancelling.get());
    d->server = builder.BuildAndStart();
    // gRPC reports a port it could not bind, and a key it could not use, as port 0.
    if (!d->server || selected == 0) {
        if (d->server)
            d->server->Shutdown();
        d->server.reset();
        d->core.reset();
        d->dosing.reset();
        d->pausing.reset();
        d->cancelling.reset();
        // The caller names the address.
        *error = QStringLiteral("the address is in use or not ours, or the TLS library cannot "
                                "use the certificate or the client authority");
        return false;
    }
    d->port = selected;
    d->addresses = ListeningAddresses::at(quint16(selected));
    return true;
}

QStringList SilaServer::addresses() const
{
    return d->addresses;
}

quint16 SilaServer::port() const
{
    return quint16(d->port);
}

void SilaServer::shutdown()
{
    if (!d->server)
        return;
    // First every call waiting for this thread is answered and every stream ended, since this
    // thread, blocked below, could not answer them; then gRPC cancels what a client still holds
    // open after the deadline, so this never hangs.
    const grpc::Status closing(grpc::StatusCode::CANCELLED, "the server is shutting down");
    d->gate.close(closing);
    d->executions.close(closing);
    d->dosing->close(closing);
    d->server->Shutdown(std::chrono::system_clock::now() + ShutdownDeadline);
    d->server->Wait();
    d->server.reset();
    d->port = 0;
    d->addresses.clear();
    d->journal.flush();
}
