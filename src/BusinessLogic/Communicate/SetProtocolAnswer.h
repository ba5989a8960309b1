#pragma once

#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic::Communicate {

// Protocol answer: 1 the pump acknowledges settings with ACK/NAK, 0 it stays silent. The link
// follows the value sent, whatever the pump answered, so later waits match the pump's behaviour.
class SetProtocolAnswer : public SettingCommand
{
public:
    explicit SetProtocolAnswer(Communication *communication);

    void execute() override;
};

} // namespace BusinessLogic::Communicate
