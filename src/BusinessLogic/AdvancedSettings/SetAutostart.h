#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::AdvancedSettings {

// Auto start: 1 on, 0 off.
class SetAutostart : public SettingCommand
{
public:
    explicit SetAutostart(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetAutostart, "SA", 1, "")
    {}
};

} // namespace BusinessLogic::AdvancedSettings
