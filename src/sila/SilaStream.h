#pragma once

#include "SilaOpenStream.h"

#include <grpcpp/support/server_callback.h>

#include <memory>
#include <mutex>
#include <optional>

// One server stream of messages of type T. gRPC owns the reactor and deletes it when the call is
// done; the server holds this shared state instead, so a stream that the client cancelled or
// that finished is never touched again. Every message is a whole value (a property, an execution's
// status), so a stream keeps one write in flight and only the newest waiting message: a slow
// client gets the latest value, never a growing queue.
template<class T>
class SilaStream : public SilaOpenStream
{
public:
    // The stream and its reactor, which goes to gRPC as the call's reactor.
    static std::shared_ptr<SilaStream> create()
    {
        std::shared_ptr<SilaStream> stream(new SilaStream);
        stream->writer = new Reactor(stream);
        return stream;
    }

    grpc::ServerWriteReactor<T> *reactor() const
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        return writer;
    }

    void send(const T &message)
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        if (!writer || ending)
            return;
        if (inFlight) {
            pending = message;
            return;
        }
        inFlight = message;
        writer->StartWrite(&*inFlight);
    }

    void end(const grpc::Status &status) override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        if (!writer || ending)
            return;
        ending = true;
        endStatus = status;
        if (!inFlight)
            finish(status);
    }

    bool open() const override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        return writer && !ending;
    }

private:
    class Reactor : public grpc::ServerWriteReactor<T>
    {
    public:
        explicit Reactor(std::shared_ptr<SilaStream> stream)
            : stream(std::move(stream))
        {}
        void OnWriteDone(bool ok) override { stream->writeDone(ok); }
        void OnCancel() override { stream->cancelled(); }
        void OnDone() override
        {
            stream->done();
            delete this;
        }

    private:
        std::shared_ptr<SilaStream> stream;
    };

    SilaStream() = default;

    // gRPC's threads, and the server's through send and end; the lock is taken again when gRPC
    // runs a reaction at once inside a call made under it.
    void writeDone(bool ok)
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        inFlight.reset();
        if (finished || !writer)
            return;
        if (!ok) {
            ending = true;
            pending.reset();
            finish(grpc::Status::CANCELLED);
        } else if (pending) {
            inFlight = std::move(pending);
            pending.reset();
            writer->StartWrite(&*inFlight);
        } else if (ending) {
            finish(endStatus);
        }
    }

    void cancelled()
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        ending = true;
        pending.reset();
        if (!finished && writer)
            finish(grpc::Status::CANCELLED);
    }

    void done()
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        writer = nullptr;
        finished = true;
        inFlight.reset();
        pending.reset();
    }

    void finish(const grpc::Status &status)
    {
        finished = true;
        writer->Finish(status);
    }

    mutable std::recursive_mutex mutex;
    Reactor *writer = nullptr; // null once gRPC is done with the call
    std::optional<T> inFlight; // the message being written: gRPC reads it until the write is done
    std::optional<T> pending;
    bool ending = false;
    bool finished = false;
    grpc::Status endStatus;
};
