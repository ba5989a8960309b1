#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::IO {

// Analog input range.
class GetAnalogRange : public QueryCommand
{
public:
    explicit GetAnalogRange(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetAnalogRange, "?RB", "0")
    {}
};

} // namespace BusinessLogic::IO
