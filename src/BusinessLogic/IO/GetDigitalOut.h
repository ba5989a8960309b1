#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::IO {

// Digital output function.
class GetDigitalOut : public QueryCommand
{
public:
    explicit GetDigitalOut(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDigitalOut, "?RS", "0")
    {}
};

} // namespace BusinessLogic::IO
