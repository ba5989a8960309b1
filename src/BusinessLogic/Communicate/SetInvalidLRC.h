#pragma once

#include "BusinessLogic/LocalCommand.h"

namespace BusinessLogic::Communicate {

// Test mode: later frames carry their check character XOR 0x55.
class SetInvalidLRC : public LocalCommand
{
public:
    explicit SetInvalidLRC(Communication *communication);

    void execute() override;
};

} // namespace BusinessLogic::Communicate
