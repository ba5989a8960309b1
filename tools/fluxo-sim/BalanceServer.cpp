#include "BalanceServer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace fluxosim {

namespace {

constexpr std::size_t MaxLine = 64; // a longer line is noise: it is answered ES and dropped

std::string weightLine(const char *status, double netG)
{
    char text[64];
    std::snprintf(text, sizeof text, "S %s %11.4f g", status, netG);
    return text;
}

} // namespace

BalanceServer::BalanceServer(Options o, Delivery d)
    : options(o)
    , delivery(std::move(d))
    , random(o.seed)
{}

BalanceServer::~BalanceServer()
{
    stop();
}

std::string BalanceServer::answer(const std::string &command, double grossG, bool stable,
                                  double &zero)
{
    if (command == "S")
        return weightLine(stable ? "S" : "D", grossG - zero);
    if (command == "SI")
        return weightLine(stable ? "S" : "D", grossG - zero);
    if (command == "Z") {
        if (!stable)
            return "Z I"; // a balance zeroes only a still load
        zero = grossG;
        return "Z A";
    }
    return "ES";
}

bool BalanceServer::start(std::string *error)
{
    if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0) {
        if (error)
            *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    termios tio{};
    ::tcgetattr(slaveFd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slaveFd, TCSANOW, &tio);
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    char name[PATH_MAX] = {};
    if (::ttyname_r(slaveFd, name, sizeof name) != 0) {
        if (error)
            *error = std::string("ttyname: ") + std::strerror(errno);
        stop();
        return false;
    }
    path = name;
    running = true;
    thread = std::thread(&BalanceServer::serve, this);
    return true;
}

void BalanceServer::stop()
{
    running = false;
    if (thread.joinable())
        thread.join();
    for (int *fd : {&masterFd, &slaveFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void BalanceServer::serve()
{
    std::string line;
    bool overlong = false;
    while (running) {
        // The motor is watched between commands too, so the settling time counts from its stop.
        std::int64_t volume = 0;
        bool moving = false;
        delivery(&volume, &moving);
        if (moving) {
            lastMoving = std::chrono::steady_clock::now();
            everMoved = true;
        }
        pollfd in{masterFd, POLLIN, 0};
        if (::poll(&in, 1, 20) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c == '\r' || c == '\n') {
                if (overlong)
                    handle("\x01"); // answered ES
                else if (!line.empty())
                    handle(line);
                line.clear();
                overlong = false;
            } else if (line.size() < MaxLine) {
                line += c;
            } else {
                overlong = true;
            }
        }
    }
}

void BalanceServer::handle(const std::string &line)
{
    std::int64_t volume = 0;
    bool moving = false;
    delivery(&volume, &moving);
    const auto now = std::chrono::steady_clock::now();
    if (moving) {
        lastMoving = now;
        everMoved = true;
    }
    const bool stable =
        !moving && (!everMoved || now - lastMoving >= std::chrono::milliseconds(options.settleMs));
    std::uniform_real_distribution<double> noise(-options.noiseG, options.noiseG);
    const double gross = static_cast<double>(volume) / 1000.0 * options.density + noise(random);
    const std::string out = answer(line, gross, stable, zeroG) + "\r\n";
    // A reader that went away loses the answer; the balance goes on.
    if (::write(masterFd, out.data(), out.size()) < 0)
        return;
}

} // namespace fluxosim
