#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::Communicate {

// Communication check ("?SI"): a pump that answers is reachable at the address. While the port
// is lost (adapter unplugged) each check first tries to reopen it, so a replugged adapter comes
// back by itself.
class ExecuteCommCheck : public QueryCommand
{
public:
    explicit ExecuteCommCheck(Communication *communication);

    void execute() override;
};

} // namespace BusinessLogic::Communicate
