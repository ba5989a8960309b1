#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Measured stroke volume in tenths of a microlitre.
class SetFactoryPumpStrokeVolume : public SettingCommand
{
public:
    explicit SetFactoryPumpStrokeVolume(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetFactoryPumpStrokeVolume, "ZF!", 5, "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
