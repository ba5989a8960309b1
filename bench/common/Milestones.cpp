#include "Milestones.h"

bool Milestones::firstAnswerTo(const std::string &query, WireTrace::Clock::time_point *at) const
{
    // The pump answers frame by frame, so each answer follows the frame it belongs to.
    bool asked = false;
    for (const WireTrace::Frame &frame : trace.frames()) {
        if (frame.kind == fluxosim::LogEntry::Kind::Received) {
            asked = queryOf(frame.bytes).rfind(query, 0) == 0;
        } else if (asked && frame.kind == fluxosim::LogEntry::Kind::Sent) {
            *at = frame.at;
            return true;
        }
    }
    return false;
}

std::string Milestones::queryOf(const std::string &frame)
{
    const std::size_t stx = frame.find('\x02');
    const std::size_t etx = frame.find('\x03');
    if (stx == std::string::npos || etx == std::string::npos || etx < stx + 3)
        return {};
    return frame.substr(stx + 3, etx - stx - 3);
}
