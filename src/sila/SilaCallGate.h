#pragma once

#include "SilaStream.h"
#include "pumpcore/RequestOrigin.h"

#include <QMetaObject>
#include <QObject>

#include <grpcpp/server_context.h>
#include <grpcpp/support/server_callback.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Where every call enters: it refuses SiLA client metadata (we define none), hands the call to
// the thread of the context object (the pump core's) and keeps it until it is answered there, so
// that closing answers every call and ends every stream still open. Calls that arrive after
// closing are refused at once.
class SilaCallGate
{
public:
    explicit SilaCallGate(QObject &context);

    // A call's SiLA client metadata refused as the standard says, or OK.
    static grpc::Status checkMetadata(const grpc::CallbackServerContext *call);
    // Who made the call: the common name of its verified certificate, else as gRPC names the
    // peer; request: its command execution, when it has one.
    static RequestOrigin originOf(const grpc::CallbackServerContext *call,
                                  const QString &request = QString());
    // The common name of the client's certificate, which the handshake verified against the
    // client authority; empty for a client without one.
    static QString clientName(const grpc::ServerContextBase *call);

    // An unary call: work runs on the context's thread and its status finishes the call.
    grpc::ServerUnaryReactor *unary(grpc::CallbackServerContext *call,
                                    std::function<grpc::Status()> work);

    // A server stream: open runs on the context's thread with the stream, unless the client
    // went away first.
    template<class T>
    grpc::ServerWriteReactor<T> *
    stream(grpc::CallbackServerContext *call,
           std::function<void(const std::shared_ptr<SilaStream<T>> &)> open)
    {
        const std::shared_ptr<SilaStream<T>> stream = SilaStream<T>::create();
        grpc::ServerWriteReactor<T> *reactor = stream->reactor();
        const grpc::Status refusal = admit(call, stream);
        if (!refusal.ok()) {
            stream->end(refusal);
            return reactor;
        }
        QMetaObject::invokeMethod(
            &context,
            [stream, open = std::move(open)] {
                if (stream->open())
                    open(stream);
            },
            Qt::QueuedConnection);
        return reactor;
    }

    // The context's thread: answers every waiting call and ends every open stream with status.
    void close(const grpc::Status &status);

private:
    grpc::Status admit(grpc::CallbackServerContext *call,
                       const std::shared_ptr<SilaOpenStream> &stream);

    QObject &context;
    std::mutex mutex;
    bool closed = false;
    quint64 lastCall = 0;
    std::map<quint64, grpc::ServerUnaryReactor *> calls;
    std::vector<std::weak_ptr<SilaOpenStream>> streams;
};
