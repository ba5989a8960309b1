#pragma once

#include <cstdint>
#include <string>

namespace fluxosim {

// One line of the simulator's traffic log.
struct LogEntry
{
    enum class Kind { Received, Sent, Event, Device }; // Device: verdict is the new path

    std::int64_t ms = 0; // since the server started
    Kind kind = Kind::Event;
    std::string bytes;       // raw bytes of the frame (empty for events)
    std::string verdict;     // what was made of it, or the event text
    std::int64_t wallUs = 0; // the same instant on the system clock, since the epoch

    // "rx <STX>01?DV<ETX>-  query ?DV = 00010000", without the time stamp.
    std::string text() const;
};

} // namespace fluxosim
