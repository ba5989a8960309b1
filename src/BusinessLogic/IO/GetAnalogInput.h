#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::IO {

// Analog input function code.
class GetAnalogInput : public QueryCommand
{
public:
    explicit GetAnalogInput(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetAnalogInput, "?RA", "09")
    {}
};

} // namespace BusinessLogic::IO
