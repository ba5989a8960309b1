#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic {

// A setting of the program's own link state: keeps its parameter like a pump setting but sends
// nothing, so the answer read after it is the previous exchange's.
class LocalCommand : public Command
{
public:
    LocalCommand(Communication *communication, CommandSpezifier id);

    CommandSpezifier spezifier() override;
    void setParameter(long value) override;
    // Nothing goes on the wire, so nothing can fail: the link's verdict is an older exchange's.
    AnswerOutcome outcome() const override;
    using Command::setParameter;

    long value = 0;

private:
    const CommandSpezifier id;
};

} // namespace BusinessLogic
