#pragma once

#include "ChildProcess.h"

#include <string>

// A mosquitto broker of the benchmark's own: a configuration file in the given directory, one
// listener on 127.0.0.1 at a port that was free, no persistence, anonymous clients allowed.
class LocalBroker
{
public:
    // noDelay: the broker sends each packet at once (set_tcp_nodelay), not held by Nagle's
    // algorithm while an earlier one waits for its acknowledgement.
    LocalBroker(std::string directory, bool noDelay);

    // Starts it and waits until it accepts connections; false with a reason otherwise.
    bool start(const std::string &program, std::string *error);
    void stop() { process.stop(); }
    int port() const { return listenPort; }
    std::string uri() const { return "mqtt://127.0.0.1:" + std::to_string(listenPort); }
    ChildProcess &child() { return process; }

private:
    static int freePort();
    bool accepts() const;
    bool writeConfig(const std::string &path) const;

    std::string directory;
    bool noDelay = false;
    int listenPort = 0;
    ChildProcess process;
};
