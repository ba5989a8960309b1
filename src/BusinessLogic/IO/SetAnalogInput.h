#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::IO {

// Analog input function code (0 to 3, 9 off).
class SetAnalogInput : public SettingCommand
{
public:
    explicit SetAnalogInput(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetAnalogInput, "RA", 1, "9")
    {}
};

} // namespace BusinessLogic::IO
