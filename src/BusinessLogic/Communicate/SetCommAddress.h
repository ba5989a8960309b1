#pragma once

#include "BusinessLogic/LocalCommand.h"

namespace BusinessLogic::Communicate {

// Sets the address written into every later frame.
class SetCommAddress : public LocalCommand
{
public:
    explicit SetCommAddress(Communication *communication);

    void execute() override;
};

} // namespace BusinessLogic::Communicate
