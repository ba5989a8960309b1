#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::DosingCommands {

// Dispense time, HHMMSS.
class GetDispenseTime : public QueryCommand
{
public:
    explicit GetDispenseTime(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDispenseTime, "?DT", "0")
    {}
};

} // namespace BusinessLogic::DosingCommands
