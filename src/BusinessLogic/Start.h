#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Starts the pump.
class Start : public ActionCommand
{
public:
    explicit Start(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::Start, "KY", "1")
    {}
};

} // namespace BusinessLogic
