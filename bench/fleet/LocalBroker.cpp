#include "LocalBroker.h"

#include <chrono>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

LocalBroker::LocalBroker(std::string directory, bool noDelay)
    : directory(std::move(directory))
    , noDelay(noDelay)
{}

int LocalBroker::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool LocalBroker::accepts() const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(listenPort));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool LocalBroker::writeConfig(const std::string &path) const
{
    // Started by root, mosquitto would change to its own user, and a change of user clears the
    // signal that ends it with the benchmark: it stays the user that started it.
    const passwd *user = ::getpwuid(::getuid());
    std::ofstream file(path);
    if (user != nullptr)
        file << "user " << user->pw_name << '\n';
    file << "listener " << listenPort << " 127.0.0.1\n"
         << "allow_anonymous true\n"
         << "persistence false\n"
         << "log_dest stderr\n"
         << "log_type error\n"
         << "log_type warning\n"
         << "set_tcp_nodelay " << (noDelay ? "true" : "false") << '\n';
    return static_cast<bool>(file);
}

bool LocalBroker::start(const std::string &program, std::string *error)
{
    // The port may be taken between the look and the broker's bind: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        listenPort = freePort();
        const std::string config = directory + "/mosquitto.conf";
        if (listenPort == 0 || !writeConfig(config)) {
            *error = "no free port or no configuration file";
            return false;
        }
        if (!process.start({program, "-c", config}, directory + "/mosquitto.out",
                           directory + "/mosquitto.log", error))
            return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (process.alive() && std::chrono::steady_clock::now() < deadline) {
            if (accepts())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        process.stop();
    }
    *error = "mosquitto did not start (see mosquitto.log)";
    return false;
}
