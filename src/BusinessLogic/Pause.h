#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Pauses a run; start resumes it.
class Pause : public ActionCommand
{
public:
    explicit Pause(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::Pause, "KY", "3")
    {}
};

} // namespace BusinessLogic
