#pragma once

#include "BusinessLogic/CommandStack.h"

namespace BusinessLogic {

// The command stack that also turns every logged exchange into two time-stamped, escaped lines
// for the traffic views, each emitted after its fault lists.
class LoggingCommandStack : public CommandStack
{
    Q_OBJECT

public:
    LoggingCommandStack() = default;

    void logTransmitted(const SystemTime &time) override;
    void logReceived(const SystemTime &time) override;
    int rxStampLength() override;
    int txStampLength() override;

private:
    int rxStamp = 0;
    int txStamp = 0;
};

} // namespace BusinessLogic
