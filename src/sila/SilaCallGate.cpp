#include "SilaCallGate.h"

#include "SilaError.h"

#include <grpcpp/security/auth_context.h>

#include <algorithm>

namespace {

const grpc::Status closing(grpc::StatusCode::UNAVAILABLE, "the server is shutting down");

} // namespace

SilaCallGate::SilaCallGate(QObject &context)
    : context(context)
{}

RequestOrigin SilaCallGate::originOf(const grpc::CallbackServerContext *call,
                                     const QString &request)
{
    const QString name = clientName(call);
    return {QStringLiteral("sila"), name.isEmpty() ? QString::fromStdString(call->peer()) : name,
            request, QString()};
}

QString SilaCallGate::clientName(const grpc::ServerContextBase *call)
{
    const std::shared_ptr<const grpc::AuthContext> auth = call->auth_context();
    // Without a client authority no certificate is asked for, so none is authenticated.
    if (!auth || !auth->IsPeerAuthenticated())
        return QString();
    const std::vector<grpc::string_ref> names = auth->FindPropertyValues("x509_common_name");
    if (names.empty())
        return QString();
    return QString::fromUtf8(names.front().data(), int(names.front().size()));
}

grpc::Status SilaCallGate::checkMetadata(const grpc::CallbackServerContext *call)
{
    for (const auto &entry : call->client_metadata()) {
        const std::string key(entry.first.data(), entry.first.size());
        const bool sila = key.rfind("sila-", 0) == 0;
        const bool binary = key.size() >= 4 && key.compare(key.size() - 4, 4, "-bin") == 0;
        if (sila && binary) {
            return SilaError::framework(
                SilaError::Framework::NoMetadataAllowed,
                QStringLiteral("this server accepts no SiLA client metadata, and got %1")
                    .arg(QString::fromStdString(key)));
        }
    }
    return grpc::Status::OK;
}

grpc::Status SilaCallGate::admit(grpc::CallbackServerContext *call,
                                 const std::shared_ptr<SilaOpenStream> &stream)
{
    const grpc::Status refusal = checkMetadata(call);
    if (!refusal.ok())
        return refusal;
    std::lock_guard<std::mutex> lock(mutex);
    if (closed)
        return closing;
    streams.erase(std::remove_if(streams.begin(), streams.end(),
                                 [](const std::weak_ptr<SilaOpenStream> &weak) {
                                     const auto open = weak.lock();
                                     return !open || !open->open();
                                 }),
                  streams.end());
    streams.push_back(stream);
    return grpc::Status::OK;
}

grpc::ServerUnaryReactor *SilaCallGate::unary(grpc::CallbackServerContext *call,
                                              std::function<grpc::Status()> work)
{
    grpc::ServerUnaryReactor *reactor = call->DefaultReactor();
    const grpc::Status refusal = checkMetadata(call);
    if (!refusal.ok()) {
        reactor->Finish(refusal);
        return reactor;
    }
    quint64 id = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!closed) {
            id = ++lastCall;
            calls.emplace(id, reactor);
        }
    }
    if (id == 0) {
        reactor->Finish(closing);
        return reactor;
    }
    QMetaObject::invokeMethod(
        &context,
        [this, id, work = std::move(work)] {
            grpc::ServerUnaryReactor *waiting = nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex);
                const auto found = calls.find(id);
                // Answered by close() already: the request and response are gone.
                if (found == calls.end())
                    return;
                waiting = found->second;
                calls.erase(found);
            }
            waiting->Finish(work());
        },
        Qt::QueuedConnection);
    return reactor;
}

void SilaCallGate::close(const grpc::Status &status)
{
    std::map<quint64, grpc::ServerUnaryReactor *> waiting;
    std::vector<std::weak_ptr<SilaOpenStream>> open;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        waiting.swap(calls);
        open.swap(streams);
    }
    for (const auto &call : waiting)
        call.second->Finish(closing);
    for (const auto &weak : open) {
        if (const auto stream = weak.lock())
            stream->end(status);
    }
}
