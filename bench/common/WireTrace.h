#pragma once

#include "LogEntry.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// The simulator's frames with the moment each was logged, taken on the simulator's thread through
// its listener. A received frame is logged once its last byte would have crossed the line, a sent
// answer once its last byte has left; so the trace shows what the wire itself allows.
class WireTrace
{
public:
    using Clock = std::chrono::steady_clock;

    struct Frame
    {
        Clock::time_point at;
        fluxosim::LogEntry::Kind kind = fluxosim::LogEntry::Kind::Event;
        std::string bytes;
    };

    // Bytes on the wire and answers in a stretch of the trace, and the time the line alone needs
    // for them: 10 bits per byte (8N1) at the baud rate, plus the pump's turnaround per answer.
    struct Tally
    {
        std::size_t txBytes = 0; // sent by the program, received by the pump
        std::size_t rxBytes = 0; // answered by the pump
        std::size_t frames = 0;
        std::size_t answers = 0;
        double wireMs(int baud, int turnaroundMs) const;
    };

    void record(const fluxosim::LogEntry &entry);
    std::vector<Frame> frames() const;
    // Frames logged in [from, to].
    Tally tally(Clock::time_point from, Clock::time_point to) const;
    // Milliseconds one byte takes on the line.
    static double byteMs(int baud);

private:
    mutable std::mutex mutex;
    std::vector<Frame> entries;
};
