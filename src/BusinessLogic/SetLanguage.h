#pragma once

#include "BusinessLogic/SettingCommand.h"

// Display language, list index.
class SetLanguage : public BusinessLogic::SettingCommand
{
public:
    explicit SetLanguage(Communication *communication)
        : BusinessLogic::SettingCommand(communication, BusinessLogic::CommandSpezifier::SetLanguage,
                                        "LS", 1, "40")
    {}
};
