#pragma once

#include "BusinessLogic/SettingCommand.h"

// Customer calibration volume in thousandths of a millilitre.
class SetCustCalVol : public BusinessLogic::SettingCommand
{
public:
    explicit SetCustCalVol(Communication *communication)
        : BusinessLogic::SettingCommand(communication,
                                        BusinessLogic::CommandSpezifier::SetCustCalVol, "CF", 8, "")
    {}
};
