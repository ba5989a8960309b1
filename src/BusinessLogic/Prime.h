#pragma once

#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

// Primes at the maximum flow until stopped.
class Prime : public ActionCommand
{
public:
    explicit Prime(Communication *communication)
        : ActionCommand(communication, CommandSpezifier::Prime, "KY", "2")
    {}
};

} // namespace BusinessLogic
