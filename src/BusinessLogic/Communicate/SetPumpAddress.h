#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::Communicate {

// Address the pump answers to, 0 to 98.
class SetPumpAddress : public SettingCommand
{
public:
    explicit SetPumpAddress(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetPumpAddress, "AD", 2, "")
    {}
};

} // namespace BusinessLogic::Communicate
