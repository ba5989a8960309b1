#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::IO {

// Digital input 2 function code: 0, 1, 6, 8, 9 or 10.
class SetDigitalIn2 : public SettingCommand
{
public:
    explicit SetDigitalIn2(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDigitalIn2, "L2", 2, "")
    {}
};

} // namespace BusinessLogic::IO
