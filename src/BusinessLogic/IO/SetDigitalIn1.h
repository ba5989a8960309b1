#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::IO {

// Digital input 1 function code: 1, 6 or 0.
class SetDigitalIn1 : public SettingCommand
{
public:
    explicit SetDigitalIn1(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetDigitalIn1, "L1", 2, "")
    {}
};

} // namespace BusinessLogic::IO
