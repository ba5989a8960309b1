#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Pump model index (M10-A, M10-B, M02-A, M02-B, M10-C, M02-C).
class SetPumpModel : public SettingCommand
{
public:
    explicit SetPumpModel(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetPumpModel, "PM!", 1, "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
