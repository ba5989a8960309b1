#pragma once

#include "ControlCommand.h"
#include "FrameAssembler.h"
#include "LogEntry.h"
#include "PumpModel.h"
#include "ServerOptions.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fluxosim {

// Runs a PumpModel on its own thread behind a pseudo-terminal. Open devicePath() like a serial
// port (9600 8N1, raw). The line's time is kept in both directions: a frame counts as received
// one line time per byte after its first byte, and answers leave at the line rate. All public
// functions are thread-safe.
class PumpServer
{
public:
    using Listener = std::function<void(const LogEntry &)>;

    explicit PumpServer(const ServerOptions &options = {});
    ~PumpServer();
    PumpServer(const PumpServer &) = delete;
    PumpServer &operator=(const PumpServer &) = delete;

    // Called for every log entry, on the server thread or on the caller of command().
    // Set it before start().
    void setListener(Listener listener);

    bool start(std::string *error = nullptr);
    void stop(); // also removes the link

    // The slave side, e.g. /dev/pts/5; empty while hung up.
    std::string devicePath() const;
    // A fault command as on stdin ("noise 0.1", "hangup 3", ...).
    ControlResult command(const std::string &line);

    std::vector<LogEntry> log() const; // the last maxLog entries
    void clearLog();
    std::int64_t elapsedMs() const; // on the log's clock
    // What the pump delivered so far (thousandths of a ml) and whether its motor turns now.
    void delivery(std::int64_t *volume, bool *moving) const;

    static constexpr std::size_t maxLog = 5000;
    static constexpr std::size_t maxPending = 16; // frames waiting for their answer

private:
    struct Pending
    {
        std::string frame;
        std::int64_t readyUs = 0;
    };
    struct Outgoing
    {
        std::string bytes;
        std::int64_t startUs = 0;
        std::int64_t trickleUs = 0; // 0 = line rate
        std::size_t sent = 0;
    };

    void serve();
    bool openLine(std::string *error);
    void closeLine();
    void pointLink();
    void removeLink();
    void hangUp(int seconds);
    void receive();
    void answerReadyFrames(std::int64_t nowUs);
    void transmit(std::int64_t nowUs);
    std::int64_t dueUs(const Outgoing &out, std::size_t index) const;
    std::int64_t lineUs(std::size_t bytes) const;
    std::int64_t nowUs() const;
    std::int64_t pumpMs(std::int64_t us) const; // the model's clock, sped up by the speed option
    // atUs: when it happened on the line, if not now (a frame that was handled late).
    void record(LogEntry::Kind kind, const std::string &bytes, const std::string &verdict,
                std::int64_t atUs = -1);
    void wake();

    const ServerOptions options;
    const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
    // The same instant on the system clock, in microseconds since the epoch: the log's time of day.
    const std::int64_t wallOriginUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count();

    mutable std::mutex modelMutex;
    PumpModel model;

    mutable std::mutex stateMutex; // log, path, listener
    std::deque<LogEntry> entries;
    std::string path;
    Listener listener;

    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<int> hangupRequest{-1};
    int wakeFds[2] = {-1, -1};

    // Owned by the server thread once started.
    int masterFd = -1;
    int slaveFd = -1; // held open so the master sees no hangup when a client closes
    FrameAssembler assembler;
    std::deque<Pending> pending;
    std::deque<Outgoing> outgoing;
    std::int64_t lineFreeUs = 0;
    std::int64_t reopenAtUs = -1;
};

} // namespace fluxosim
