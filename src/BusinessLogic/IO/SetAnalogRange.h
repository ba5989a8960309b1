#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::IO {

// Analog input range; no screen control sends it.
class SetAnalogRange : public SettingCommand
{
public:
    explicit SetAnalogRange(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetAnalogRange, "RB", 1, "9")
    {}
};

} // namespace BusinessLogic::IO
