#pragma once

#include "pumpcore/PumpCore.h"

#include <optional>

// The pump's count in an answer to a query of its own: the volume delivered (thousandths of a ml)
// or the elapsed time (milliseconds), taken through its item so it reads the way the poller's
// does. Nothing when the query went unanswered.
class PumpCount
{
public:
    static std::optional<double> of(PumpCore &core, const Answer &answer, PumpCore::Id id);
};
