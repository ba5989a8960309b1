#include "SilaServer.h"

#include <grpcpp/security/server_credentials.h>
#include <grpcpp/server.h>
#include <grpcpp/server_builder.h>

#include <chrono>

struct SilaServer::Private
{
    SilaPump &pump;
    SilaIdentity &identity;
    Config config;
    std::unique_ptr<grpc::Server> server;
    int port = 0;
};

SilaServer::SilaServer(SilaPump &pump, SilaIdentity &identity, QObject *parent)
    : QObject(parent)
    , d(new Private{pump, identity, {}, nullptr, 0})
{}

SilaServer::~SilaServer()
{
    shutdown();
}

bool SilaServer::start(const Config &config, QString *error)
{
    if (d->server) {
        *error = QStringLiteral("the server is already running");
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
        grpc::SslServerCredentialsOptions options;
        options.pem_key_cert_pairs.push_back(
            {config.keyPem.toStdString(), config.certificatePem.toStdString()});
        credentials = grpc::SslServerCredentials(options);
    }
    const QString address = QStringLiteral("%1:%2").arg(config.host).arg(config.port);
    grpc::ServerBuilder builder;
    int selected = 0;
    builder.AddListeningPort(address.toStdString(), credentials, &selected);
    d->server = builder.BuildAndStart();
    // gRPC reports a port it could not bind, and a key it could not read, as 0.
    if (!d->server || selected == 0) {
        if (d->server)
            d->server->Shutdown();
        d->server.reset();
        *error = QStringLiteral("cannot listen on %1 (address in use, or a certificate or key "
                                "that cannot be read)")
                     .arg(address);
        return false;
    }
    d->config = config;
    d->port = selected;
    return true;
}

quint16 SilaServer::port() const
{
    return quint16(d->port);
}

void SilaServer::shutdown()
{
    if (!d->server)
        return;
    // Calls still open after the deadline are cancelled, so this never hangs.
    d->server->Shutdown(std::chrono::system_clock::now() + std::chrono::seconds(2));
    d->server->Wait();
    d->server.reset();
    d->port = 0;
}
