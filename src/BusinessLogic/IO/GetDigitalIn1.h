#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::IO {

// Digital input 1 function code.
class GetDigitalIn1 : public QueryCommand
{
public:
    explicit GetDigitalIn1(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDigitalIn1, "?L1", "0")
    {}
};

} // namespace BusinessLogic::IO
