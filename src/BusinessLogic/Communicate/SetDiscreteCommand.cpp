#include "BusinessLogic/Communicate/SetDiscreteCommand.h"

namespace BusinessLogic::Communicate {

SetDiscreteCommand::SetDiscreteCommand(Communication *communication)
    : Command(communication)
{}

CommandSpezifier SetDiscreteCommand::spezifier()
{
    return CommandSpezifier::SetDiscreteCommand;
}

void SetDiscreteCommand::execute()
{
    exchange(discreteText, Awaits::EndOfText, "DISCRETE COMMAND");
}

void SetDiscreteCommand::setParameter(long value)
{
    discreteText = std::to_string(value);
}

void SetDiscreteCommand::setParameter(std::string text)
{
    discreteText = std::move(text);
}

} // namespace BusinessLogic::Communicate
