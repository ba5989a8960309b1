#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Moves the diaphragm to the maintenance position (always 1).
class SetMaintenancePos : public SettingCommand
{
public:
    explicit SetMaintenancePos(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetMaintenancePos, "MP", 1, "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
