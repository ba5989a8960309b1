#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::Communicate {

// Communication check; a pump that answers is reachable at the address.
class ExecuteCommCheck : public QueryCommand
{
public:
    explicit ExecuteCommCheck(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::ExecuteCommCheck, "?SI", "-1")
    {}
};

} // namespace BusinessLogic::Communicate
