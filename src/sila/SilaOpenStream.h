#pragma once

#include <grpcpp/support/status.h>

// A server stream that the server can end from its own thread, whatever type it carries.
class SilaOpenStream
{
public:
    virtual ~SilaOpenStream() = default;
    // Ends the stream after what was sent; nothing once it has ended or the client went away.
    virtual void end(const grpc::Status &status) = 0;
    // False once it ends, is ending, or the client cancelled it.
    virtual bool open() const = 0;
};
