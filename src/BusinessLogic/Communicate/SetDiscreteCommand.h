#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic::Communicate {

// The operator's hand-typed command: the text goes between address and ETX unchanged, and the
// answer is awaited like a query's.
class SetDiscreteCommand : public Command
{
public:
    explicit SetDiscreteCommand(Communication *communication);

    CommandSpezifier spezifier() override;
    void execute() override;
    void setParameter(long value) override;
    void setParameter(std::string text) override;

    std::string discreteText;
};

} // namespace BusinessLogic::Communicate
