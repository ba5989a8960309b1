#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Measured factory calibration volume in thousandths of a millilitre.
class SetFactoryMeasuredCalVolume : public SettingCommand
{
public:
    explicit SetFactoryMeasuredCalVolume(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetFactoryMeasuredCalVolume, "ZR!", 8, "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
