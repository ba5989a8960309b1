#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic {

// Target volume in thousandths of a millilitre.
class SetVolume : public SettingCommand
{
public:
    explicit SetVolume(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetVolume, "DV", 8, "")
    {}
};

} // namespace BusinessLogic
