#include "PumpServer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace fluxosim {
namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::string pieceVerdict(const FrameAssembler::Piece &piece)
{
    const std::string count = std::to_string(piece.length) + " bytes";
    switch (piece.kind) {
    case FrameAssembler::Kind::Junk:
        return "ignored: " + count + " outside a frame";
    case FrameAssembler::Kind::Overlong:
        return "ignored: frame longer than " + count;
    case FrameAssembler::Kind::Stalled:
        return "ignored: unfinished frame of " + count;
    case FrameAssembler::Kind::Frame:
        break;
    }
    return {};
}

} // namespace

PumpServer::PumpServer(const ServerOptions &serverOptions)
    : options(serverOptions)
    , model(serverOptions.pump, serverOptions.faults)
{}

PumpServer::~PumpServer()
{
    stop();
}

void PumpServer::setListener(Listener newListener)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    listener = std::move(newListener);
}

bool PumpServer::start(std::string *error)
{
    if (thread.joinable())
        return true;
    if (!options.linkPath.empty()) {
        struct stat info;
        if (::lstat(options.linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
            if (error)
                *error = options.linkPath + " exists and is not a symbolic link";
            return false;
        }
    }
    if (::pipe2(wakeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (error)
            *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (!openLine(error)) {
        closeFd(wakeFds[0]);
        closeFd(wakeFds[1]);
        return false;
    }
    stopping = false;
    thread = std::thread(&PumpServer::serve, this);
    return true;
}

void PumpServer::stop()
{
    if (!thread.joinable())
        return;
    stopping = true;
    wake();
    thread.join();
    closeLine();
    closeFd(wakeFds[0]);
    closeFd(wakeFds[1]);
    removeLink();
}

void PumpServer::removeLink()
{
    struct stat info;
    if (!options.linkPath.empty() && ::lstat(options.linkPath.c_str(), &info) == 0 &&
        S_ISLNK(info.st_mode))
        ::unlink(options.linkPath.c_str());
}

std::string PumpServer::devicePath() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return path;
}

ControlResult PumpServer::command(const std::string &line)
{
    ControlResult result;
    {
        std::lock_guard<std::mutex> lock(modelMutex);
        result = model.control(line, pumpMs(nowUs()));
    }
    if (result.changed)
        record(LogEntry::Kind::Event, {}, "command: " + line);
    if (result.hangupSeconds >= 0) {
        hangupRequest = result.hangupSeconds;
        wake();
    }
    return result;
}

std::vector<LogEntry> PumpServer::log() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return {entries.begin(), entries.end()};
}

void PumpServer::clearLog()
{
    std::lock_guard<std::mutex> lock(stateMutex);
    entries.clear();
}

std::int64_t PumpServer::elapsedMs() const
{
    return nowUs() / 1000;
}

std::int64_t PumpServer::nowUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 origin)
        .count();
}

std::int64_t PumpServer::pumpMs(std::int64_t us) const
{
    return us * std::max(1, options.speed) / 1000;
}

std::int64_t PumpServer::lineUs(std::size_t bytes) const
{
    // 10 bits per byte on an 8N1 line: 1041.7 us at 9600 baud.
    if (options.fast || options.baud <= 0)
        return 0;
    return static_cast<std::int64_t>(bytes) * 10000000 / options.baud;
}

void PumpServer::record(LogEntry::Kind kind, const std::string &bytes, const std::string &verdict,
                        std::int64_t atUs)
{
    if (atUs < 0)
        atUs = nowUs();
    LogEntry entry{atUs / 1000, kind, bytes, verdict, wallOriginUs + atUs};
    Listener notify;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        entries.push_back(entry);
        while (entries.size() > maxLog)
            entries.pop_front();
        notify = listener;
    }
    if (notify)
        notify(entry);
}

void PumpServer::wake()
{
    const char byte = 1;
    if (wakeFds[1] >= 0) [[maybe_unused]]
        auto written = ::write(wakeFds[1], &byte, 1);
}

void PumpServer::delivery(std::int64_t *volume, bool *moving) const
{
    std::lock_guard<std::mutex> lock(modelMutex);
    const std::int64_t now = pumpMs(nowUs());
    *volume = model.deliveredVolume(now);
    *moving = model.moving(now);
}

bool PumpServer::openLine(std::string *error)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        if (error)
            *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    // Raw 8N1 so that no byte is translated or echoed, whoever opens the slave.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speedFor(options.baud));
    ::cfsetospeed(&tio, speedFor(options.baud));
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    char name[PATH_MAX] = {};
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        if (error)
            *error = std::string("ttyname: ") + std::strerror(errno);
        ::close(master);
        ::close(slave);
        return false;
    }
    masterFd = master;
    slaveFd = slave;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        path = name;
    }
    pointLink();
    record(LogEntry::Kind::Device, {}, name);
    return true;
}

void PumpServer::closeLine()
{
    closeFd(masterFd);
    closeFd(slaveFd);
    std::lock_guard<std::mutex> lock(stateMutex);
    path.clear();
}

void PumpServer::pointLink()
{
    if (options.linkPath.empty())
        return;
    // Replace atomically, so that the link never dangles for an opener.
    const std::string device = devicePath();
    const std::string temporary = options.linkPath + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(device.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), options.linkPath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        record(LogEntry::Kind::Event, {},
               "cannot link " + options.linkPath + ": " + std::strerror(errno));
    }
}

void PumpServer::hangUp(int seconds)
{
    closeLine();
    // As an unplugged adapter's device goes: a program reopening the path meanwhile must not
    // reach the pseudo-terminal another program is given under the old name.
    removeLink();
    assembler.reset();
    pending.clear();
    outgoing.clear();
    reopenAtUs = nowUs() + seconds * 1000000LL;
    record(LogEntry::Kind::Event, {}, "hung up, back in " + std::to_string(seconds) + " s");
}

void PumpServer::serve()
{
    while (!stopping) {
        const int hangup = hangupRequest.exchange(-1);
        if (hangup >= 0)
            hangUp(hangup);
        std::int64_t now = nowUs();
        if (reopenAtUs >= 0 && now >= reopenAtUs) {
            std::string error;
            reopenAtUs = -1;
            if (!openLine(&error)) {
                record(LogEntry::Kind::Event, {}, error + ", retrying in 1 s");
                reopenAtUs = now + 1000000;
            }
        }

        std::int64_t deadline = LLONG_MAX;
        if (reopenAtUs >= 0)
            deadline = reopenAtUs;
        if (assembler.nextDeadlineUs() >= 0)
            deadline = std::min(deadline, assembler.nextDeadlineUs());
        if (!pending.empty())
            deadline = std::min(deadline, pending.front().readyUs);
        if (!outgoing.empty())
            deadline = std::min(deadline, dueUs(outgoing.front(), outgoing.front().sent));

        pollfd fds[2] = {{wakeFds[0], POLLIN, 0}, {masterFd, POLLIN, 0}};
        const nfds_t count = masterFd >= 0 ? 2 : 1;
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (deadline != LLONG_MAX) {
            const std::int64_t waitUs = std::max<std::int64_t>(0, deadline - now);
            timeout.tv_sec = waitUs / 1000000;
            timeout.tv_nsec = waitUs % 1000000 * 1000;
            timeoutPtr = &timeout;
        }
        if (::ppoll(fds, count, timeoutPtr, nullptr) < 0 && errno != EINTR) {
            record(LogEntry::Kind::Event, {}, std::string("poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeFds[0], drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && fds[1].revents)
            receive();

        now = nowUs();
        std::vector<FrameAssembler::Piece> stalled;
        assembler.expire(now, stalled);
        for (const auto &piece : stalled)
            record(LogEntry::Kind::Received, piece.bytes, pieceVerdict(piece));
        answerReadyFrames(now);
        transmit(now);
    }
}

void PumpServer::receive()
{
    char buffer[256];
    const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) { // cannot happen while slaveFd is open; come back as after an unplug
        record(LogEntry::Kind::Event, {}, std::string("line error: ") + std::strerror(errno));
        hangUp(1);
        return;
    }
    const std::int64_t now = nowUs();
    std::vector<FrameAssembler::Piece> pieces;
    assembler.feed(buffer, static_cast<std::size_t>(n), now, pieces);
    for (const auto &piece : pieces) {
        if (piece.kind != FrameAssembler::Kind::Frame) {
            record(LogEntry::Kind::Received, piece.bytes, pieceVerdict(piece));
        } else if (pending.size() >= maxPending) {
            record(LogEntry::Kind::Received, piece.bytes, "ignored: pump busy");
        } else {
            // The frame is complete only once its last byte would have crossed the line, and
            // not before it came, from a sender slower than the line.
            pending.push_back(
                {piece.bytes, std::max(now, piece.firstUs + lineUs(piece.bytes.size()))});
        }
    }
}

void PumpServer::answerReadyFrames(std::int64_t now)
{
    while (!pending.empty() && pending.front().readyUs <= now) {
        const Pending frame = pending.front();
        pending.pop_front();
        PumpModel::Reply reply;
        int trickleMs = 0;
        {
            std::lock_guard<std::mutex> lock(modelMutex);
            reply = model.handle(frame.frame, pumpMs(frame.readyUs));
            trickleMs = model.faults().trickleMs;
        }
        // Stamped when its last byte crossed the line, not when this thread got to it.
        record(LogEntry::Kind::Received, frame.frame, reply.verdict, frame.readyUs);
        if (reply.bytes.empty())
            continue;
        Outgoing out;
        out.bytes = reply.bytes;
        out.startUs =
            std::max<std::int64_t>(frame.readyUs + options.turnaroundMs * 1000LL, lineFreeUs);
        out.trickleUs = trickleMs > 0 ? std::max<std::int64_t>(trickleMs * 1000LL, lineUs(1)) : 0;
        lineFreeUs = dueUs(out, out.bytes.size() - 1);
        outgoing.push_back(out);
    }
}

std::int64_t PumpServer::dueUs(const Outgoing &out, std::size_t index) const
{
    // A byte is delivered once its own line time has passed.
    if (out.trickleUs > 0)
        return out.startUs + lineUs(1) + static_cast<std::int64_t>(index) * out.trickleUs;
    return out.startUs + lineUs(index + 1);
}

void PumpServer::transmit(std::int64_t now)
{
    while (!outgoing.empty() && masterFd >= 0) {
        Outgoing &out = outgoing.front();
        std::size_t due = out.sent;
        while (due < out.bytes.size() && dueUs(out, due) <= now)
            ++due;
        if (due == out.sent)
            return;
        const ssize_t n = ::write(masterFd, out.bytes.data() + out.sent, due - out.sent);
        if (n < 0 && errno == EINTR)
            return;
        if (n < static_cast<ssize_t>(due - out.sent)) { // nobody reads: drop, stay bounded
            record(LogEntry::Kind::Sent, out.bytes.substr(0, out.sent + std::max<ssize_t>(n, 0)),
                   "line full, rest of the answer dropped");
            outgoing.pop_front();
            continue;
        }
        out.sent = due;
        if (out.sent < out.bytes.size())
            return;
        record(LogEntry::Kind::Sent, out.bytes, out.trickleUs > 0 ? "trickled" : "",
               dueUs(out, out.bytes.size() - 1));
        outgoing.pop_front();
    }
}

} // namespace fluxosim
