#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::DosingCommands {

// Number of dispense cycles (0 and 1 once, 1000 endless).
class SetDispenseVolumeNumber : public SettingCommand
{
public:
    explicit SetDispenseVolumeNumber(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDispenseVolumeNumber, "DN", 5, "")
    {}
};

} // namespace BusinessLogic::DosingCommands
