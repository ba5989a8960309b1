#include "BusinessLogic/LocalCommand.h"

namespace BusinessLogic {

LocalCommand::LocalCommand(Communication *communication, CommandSpezifier id)
    : Command(communication)
    , id(id)
{}

CommandSpezifier LocalCommand::spezifier()
{
    return id;
}

void LocalCommand::setParameter(long newValue)
{
    value = newValue;
}

AnswerOutcome LocalCommand::outcome() const
{
    return AnswerOutcome::Answered;
}

} // namespace BusinessLogic
