#include "FleetClient.h"

#include <mqtt/async_client.h>

#include <cstdlib>

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

FleetClient::FleetClient(const std::string &uri, const std::string &clientId)
    : client(
          std::make_unique<mqtt::async_client>(uri, clientId, mqtt::create_options(MQTTVERSION_5)))
{
    client->set_message_callback([this](mqtt::const_message_ptr m) {
        Message message;
        message.epochMs = nowMs();
        message.topic = m->get_topic();
        if (message.topic == wakeTopic)
            return;
        message.payload = m->get_payload_str();
        const mqtt::properties &props = m->get_properties();
        if (props.contains(mqtt::property::CORRELATION_DATA))
            message.correlation = mqtt::get<std::string>(props, mqtt::property::CORRELATION_DATA);
        {
            std::lock_guard<std::mutex> lock(mutex);
            inbox.push_back(std::move(message));
        }
        arrived.notify_all();
    });
}

FleetClient::~FleetClient()
{
    disconnect();
}

double FleetClient::epochMs(WallClock::time_point at)
{
    return std::chrono::duration<double, std::milli>(at.time_since_epoch()).count();
}

bool FleetClient::connect(std::string *error)
{
    try {
        const auto options = mqtt::connect_options_builder()
                                 .mqtt_version(MQTTVERSION_5)
                                 .clean_start(true)
                                 .keep_alive_interval(std::chrono::seconds(30))
                                 .finalize();
        client->connect(options)->wait_for(std::chrono::seconds(5));
        if (!client->is_connected()) {
            *error = "the broker did not take the connection";
            return false;
        }
        sendAtOnce(client->get_server_uri());
        return true;
    } catch (const mqtt::exception &e) {
        *error = e.what();
        return false;
    }
}

void FleetClient::sendAtOnce(const std::string &uri)
{
    const std::size_t colon = uri.rfind(':');
    const int port = colon == std::string::npos ? 0 : std::atoi(uri.c_str() + colon + 1);
    DIR *fds = ::opendir("/proc/self/fd");
    if (fds == nullptr)
        return;
    while (const dirent *entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (fd <= 2 || ::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &length) != 0 ||
            peer.sin_family != AF_INET || ntohs(peer.sin_port) != port)
            continue;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ::closedir(fds);
}

bool FleetClient::subscribe(const std::string &filter, std::string *error)
{
    try {
        client->subscribe(filter, 1)->wait_for(std::chrono::seconds(5));
        return true;
    } catch (const mqtt::exception &e) {
        *error = e.what();
        return false;
    }
}

double FleetClient::publish(const std::string &topic, const std::string &payload,
                            const std::string &correlation)
{
    auto message = mqtt::make_message(topic, payload, 1, false);
    mqtt::properties props;
    props.add(mqtt::property(mqtt::property::CORRELATION_DATA, mqtt::binary(correlation)));
    message->set_properties(props);
    const double at = nowMs();
    try {
        client->publish(message);
    } catch (const mqtt::exception &) {
        return -1.0;
    }
    return at;
}

std::vector<FleetClient::Message> FleetClient::take()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Message> taken;
    taken.swap(inbox);
    return taken;
}

void FleetClient::waitUntil(WallClock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait_until(lock, deadline, [this] { return !inbox.empty(); });
}

bool FleetClient::keepAwake(const std::string &topic, std::string *error)
{
    wakeTopic = topic;
    if (!subscribe(topic, error))
        return false;
    waker = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            lock.unlock();
            try {
                client->publish(wakeTopic, "", 0, 0, false);
            } catch (const mqtt::exception &) {
                // Gone: the next round tries again or ends.
            }
            lock.lock();
            arrived.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping; });
        }
    });
    return true;
}

void FleetClient::disconnect()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    arrived.notify_all();
    if (waker.joinable())
        waker.join();
    try {
        if (client->is_connected())
            client->disconnect()->wait_for(std::chrono::seconds(2));
    } catch (const mqtt::exception &) {
        // The broker may be gone already.
    }
}
