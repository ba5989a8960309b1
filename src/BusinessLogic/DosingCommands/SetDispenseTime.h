#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::DosingCommands {

// Dispense time as the digits hhmmss00.
class SetDispenseTime : public SettingCommand
{
public:
    explicit SetDispenseTime(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDispenseTime, "DT", 8, "")
    {}
};

} // namespace BusinessLogic::DosingCommands
