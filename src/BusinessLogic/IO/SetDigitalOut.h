#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::IO {

// Digital output function, list index 0 to 4.
class SetDigitalOut : public SettingCommand
{
public:
    explicit SetDigitalOut(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDigitalOut, "RS", 1, "")
    {}
};

} // namespace BusinessLogic::IO
