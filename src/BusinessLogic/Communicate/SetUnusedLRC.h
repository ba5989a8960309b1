#pragma once

#include "BusinessLogic/LocalCommand.h"

namespace BusinessLogic::Communicate {

// Test mode: later frames carry "U" in place of their check character (the invalid-LRC mode wins).
class SetUnusedLRC : public LocalCommand
{
public:
    explicit SetUnusedLRC(Communication *communication);

    void execute() override;
};

} // namespace BusinessLogic::Communicate
