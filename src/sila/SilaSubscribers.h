#pragma once

#include "SilaStream.h"

#include <algorithm>
#include <memory>
#include <vector>

// The open streams of one observable property: each gets the value at once and then every
// change. A stream the client cancelled leaves the list at the next change.
template<class T>
class SilaSubscribers
{
public:
    void add(const std::shared_ptr<SilaStream<T>> &stream, const T &current)
    {
        prune();
        stream->send(current);
        streams.push_back(stream);
    }

    void send(const T &message)
    {
        prune();
        for (const auto &stream : streams)
            stream->send(message);
    }

    void end(const grpc::Status &status)
    {
        for (const auto &stream : streams)
            stream->end(status);
        streams.clear();
    }

private:
    void prune()
    {
        streams.erase(std::remove_if(streams.begin(), streams.end(),
                                     [](const auto &stream) { return !stream->open(); }),
                      streams.end());
    }

    std::vector<std::shared_ptr<SilaStream<T>>> streams;
};
