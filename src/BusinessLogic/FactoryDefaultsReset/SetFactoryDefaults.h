#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Resets every pump setting to its factory default ("IP" carries no value).
class SetFactoryDefaults : public ActionCommand
{
public:
    explicit SetFactoryDefaults(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::SetFactoryDefaults, "IP", "")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
