#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

QueryCommand::QueryCommand(Communication *communication, CommandSpezifier id, std::string mnemonic,
                           std::string emptyAnswerText)
    : Command(communication)
    , id(id)
    , mnemonic(std::move(mnemonic))
    , emptyAnswerText(std::move(emptyAnswerText))
{}

CommandSpezifier QueryCommand::spezifier()
{
    return id;
}

void QueryCommand::execute()
{
    exchange(mnemonic + queryField(), Awaits::EndOfText, emptyAnswerText);
}

std::string QueryCommand::queryField() const
{
    return {};
}

} // namespace BusinessLogic
