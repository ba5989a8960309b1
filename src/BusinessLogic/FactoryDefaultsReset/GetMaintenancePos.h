#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Maintenance position state.
class GetMaintenancePos : public QueryCommand
{
public:
    explicit GetMaintenancePos(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetMaintenancePos, "?MP", "0")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
