#pragma once

#include "BusinessLogic/SettingCommand.h"

// Customer calibration in hundredths of a percent (8000 to 12000).
class SetCustCalPercent : public BusinessLogic::SettingCommand
{
public:
    explicit SetCustCalPercent(Communication *communication)
        : BusinessLogic::SettingCommand(
              communication, BusinessLogic::CommandSpezifier::SetCustCalPercent, "CH", 5, "")
    {}
};
