#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Dispensing by flow rate for the dispense time.
class SetDispenseModeFlowrate : public ActionCommand
{
public:
    explicit SetDispenseModeFlowrate(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::SetDispenseModeFlowrate, "MS", "2")
    {}
};

} // namespace BusinessLogic
