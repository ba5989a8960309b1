#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Stroke volume in tenths of a microlitre.
class GetFactoryPumpStrokeVolume : public QueryCommand
{
public:
    explicit GetFactoryPumpStrokeVolume(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetFactoryPumpStrokeVolume, "?ZF!", "202")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
