#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::DosingCommands {

// Pause between dispense cycles, in seconds.
class SetDispenseVolumeBreakTime : public SettingCommand
{
public:
    explicit SetDispenseVolumeBreakTime(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDispenseVolumeBreakTime, "DB", 5, "")
    {}
};

} // namespace BusinessLogic::DosingCommands
