#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Factory mode: 1 on, 0 off.
class SetFactoryMode : public SettingCommand
{
public:
    explicit SetFactoryMode(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetFactoryMode, "PF!", 1, "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
