#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::IO {

// Digital input 2 function code.
class GetDigitalIn2 : public QueryCommand
{
public:
    explicit GetDigitalIn2(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDigitalIn2, "?L2", "0")
    {}
};

} // namespace BusinessLogic::IO
