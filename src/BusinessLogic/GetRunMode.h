#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

// Run mode digit.
class GetRunMode : public QueryCommand
{
public:
    explicit GetRunMode(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetRunMode, "?MS", "0")
    {}
};

} // namespace BusinessLogic
