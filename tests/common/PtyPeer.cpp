#include "PtyPeer.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) {
        masterFd = slaveFd = -1;
        return;
    }
    // Programs a test starts must not inherit the test's own ends of the line.
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);
    worker = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
}

void PtyPeer::queueReply(const Reply &reply)
{
    std::lock_guard<std::mutex> lock(mutex);
    replies.push_back(reply);
}

void PtyPeer::inject(const std::string &bytes)
{
    writeAll(bytes);
}

std::string PtyPeer::received() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return all;
}

int PtyPeer::framesReceived() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return frames;
}

void PtyPeer::clearReceived()
{
    std::lock_guard<std::mutex> lock(mutex);
    all.clear();
    frames = 0;
}

bool PtyPeer::waitForFrames(int n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return frameArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return frames >= n; });
}

void PtyPeer::hangUp()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

void PtyPeer::writeAll(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && masterFd >= 0) {
        const ssize_t n = ::write(masterFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

void PtyPeer::run()
{
    bool afterEtx = false;
    while (!stopping) {
        pollfd p{masterFd, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[256];
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            Reply reply;
            bool complete = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                all.push_back(c);
                if (afterEtx) {
                    // This byte is the frame's check character.
                    afterEtx = false;
                    ++frames;
                    complete = true;
                    if (!replies.empty()) {
                        reply = replies.front();
                        replies.pop_front();
                    } else {
                        reply.silent = true;
                    }
                } else if (c == 0x03) {
                    afterEtx = true;
                }
            }
            if (!complete)
                continue;
            frameArrived.notify_all();
            if (reply.silent)
                continue;
            if (reply.delayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
            if (reply.lastByteDelayMs > 0 && !reply.bytes.empty()) {
                writeAll(reply.bytes.substr(0, reply.bytes.size() - 1));
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.lastByteDelayMs));
                writeAll(reply.bytes.substr(reply.bytes.size() - 1));
            } else if (reply.perByteMs <= 0) {
                writeAll(reply.bytes);
            } else {
                for (const char b : reply.bytes) {
                    writeAll(std::string(1, b));
                    std::this_thread::sleep_for(std::chrono::milliseconds(reply.perByteMs));
                }
            }
        }
    }
}
