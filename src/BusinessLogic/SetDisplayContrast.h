#pragma once

#include "BusinessLogic/SettingCommand.h"

// Display contrast in percent.
class SetDisplayContrast : public BusinessLogic::SettingCommand
{
public:
    explicit SetDisplayContrast(Communication *communication)
        : BusinessLogic::SettingCommand(
              communication, BusinessLogic::CommandSpezifier::SetDisplayContrast, "LC", 3, "")
    {}
};
