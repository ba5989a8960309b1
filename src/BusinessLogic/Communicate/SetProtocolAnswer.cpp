#include "BusinessLogic/Communicate/SetProtocolAnswer.h"

#include "serial/Communication.h"

namespace BusinessLogic::Communicate {

SetProtocolAnswer::SetProtocolAnswer(Communication *communication)
    : SettingCommand(communication, CommandSpezifier::SetProtocolAnswer, "SP", 1, "1")
{}

void SetProtocolAnswer::execute()
{
    SettingCommand::execute();
    communication->protocolAnswer = value == 1;
}

} // namespace BusinessLogic::Communicate
