#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Pump model index; "OFFLINE" while the pump is silent.
class GetPumpModel : public QueryCommand
{
public:
    explicit GetPumpModel(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetPumpModel, "?PM!", "OFFLINE")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
