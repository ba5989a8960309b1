#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Dispensing by volume (the "ml" mode).
class SetDispenseModeVolume : public ActionCommand
{
public:
    explicit SetDispenseModeVolume(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::SetDispenseModeVolume, "MS", "1")
    {}
};

} // namespace BusinessLogic
