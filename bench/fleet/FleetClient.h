#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mqtt {
class async_client;
}

// The fleet's remote user: one MQTT 5 connection that publishes requests with correlation data
// and keeps every message it receives with the moment it came (system clock, so that it compares
// with the simulators' frame logs).
class FleetClient
{
public:
    using WallClock = std::chrono::system_clock;

    struct Message
    {
        double epochMs = 0;
        std::string topic;
        std::string payload;
        std::string correlation;
    };

    FleetClient(const std::string &uri, const std::string &clientId);
    ~FleetClient();

    bool connect(std::string *error);
    bool subscribe(const std::string &filter, std::string *error);
    // Sends itself a message on the topic every 250 ms (not kept): the client library's receive
    // thread naps 100 ms after every second without input, which would delay what is timed here.
    bool keepAwake(const std::string &topic, std::string *error);
    // QoS 1, not retained; returns the moment just before the library took the message.
    double publish(const std::string &topic, const std::string &payload,
                   const std::string &correlation);
    // The messages received since the last call, oldest first.
    std::vector<Message> take();
    // Returns when a message is waiting or at the deadline.
    void waitUntil(WallClock::time_point deadline);
    void disconnect();

    static double epochMs(WallClock::time_point at);
    static double nowMs() { return epochMs(WallClock::now()); }

private:
    // The client library leaves Nagle's algorithm on: a set sent while an earlier small packet
    // (an acknowledgement) waits for the broker's delayed ACK would wait with it, up to 40 ms.
    // This client's own socket to the broker sends at once, so that the fleet is what is timed.
    static void sendAtOnce(const std::string &uri);

    std::unique_ptr<mqtt::async_client> client;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Message> inbox;
    std::string wakeTopic;
    std::thread waker;
    bool stopping = false;
};
