#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic {

// Target flow rate in thousandths of a millilitre per minute.
class SetFlowRate : public SettingCommand
{
public:
    explicit SetFlowRate(Communication *communication)
        : SettingCommand(communication, CommandSpezifier::SetFlowRate, "RV", 8, "")
    {}
};

} // namespace BusinessLogic
