#include "BusinessLogic/SettingCommand.h"

namespace BusinessLogic {

SettingCommand::SettingCommand(Communication *communication, CommandSpezifier id,
                               std::string mnemonic, int width, std::string emptyAnswerText)
    : Command(communication)
    , id(id)
    , mnemonic(std::move(mnemonic))
    , width(width)
    , emptyAnswerText(std::move(emptyAnswerText))
{}

CommandSpezifier SettingCommand::spezifier()
{
    return id;
}

void SettingCommand::execute()
{
    exchange(mnemonic + valueField(value, width), Awaits::Acknowledge, emptyAnswerText);
}

void SettingCommand::setParameter(long newValue)
{
    value = newValue;
}

} // namespace BusinessLogic
