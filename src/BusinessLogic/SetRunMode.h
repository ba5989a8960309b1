#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Flow-rate operation (the "ml/min" mode).
class SetRunMode : public ActionCommand
{
public:
    explicit SetRunMode(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::SetRunMode, "MS", "0")
    {}
};

} // namespace BusinessLogic
