#pragma once

#include "WireTrace.h"

#include <string>

// Moments in a traced session: when the pump first answered a query with the given text
// ("?SI", "?TV"), and how many answers it sent within a stretch.
class Milestones
{
public:
    explicit Milestones(const WireTrace &trace)
        : trace(trace)
    {}

    // The time the answer to the first such query left the pump; false while there is none.
    bool firstAnswerTo(const std::string &query, WireTrace::Clock::time_point *at) const;
    // The query text of a frame: the bytes after STX and the two address digits, up to ETX.
    static std::string queryOf(const std::string &frame);

private:
    const WireTrace &trace;
};
