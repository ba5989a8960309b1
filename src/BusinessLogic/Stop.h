#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Stops the pump.
class Stop : public ActionCommand
{
public:
    explicit Stop(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::Stop, "KY", "0")
    {}
};

} // namespace BusinessLogic
