#pragma once

#include "BusinessLogic/SettingCommand.h"

// Fluid type (pump profile), list index.
class SetPumpProfileCharacteristic : public BusinessLogic::SettingCommand
{
public:
    explicit SetPumpProfileCharacteristic(Communication *communication)
        : BusinessLogic::SettingCommand(
              communication, BusinessLogic::CommandSpezifier::SetPumpProfileCharacteristic, "CC", 1,
              "")
    {}
};
