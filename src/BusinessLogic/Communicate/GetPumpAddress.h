#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::Communicate {

// The pump's own address.
class GetPumpAddress : public QueryCommand
{
public:
    explicit GetPumpAddress(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetPumpAddress, "?AD", "-1")
    {}
};

} // namespace BusinessLogic::Communicate
