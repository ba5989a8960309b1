#include "BusinessLogic/ActionCommand.h"

namespace BusinessLogic {

ActionCommand::ActionCommand(Communication *communication, CommandSpezifier id,
                             std::string mnemonic, std::string fixedField)
    : Command(communication)
    , id(id)
    , mnemonic(std::move(mnemonic))
    , fixedField(std::move(fixedField))
{}

CommandSpezifier ActionCommand::spezifier()
{
    return id;
}

void ActionCommand::execute()
{
    exchange(mnemonic + fixedField, Awaits::Acknowledge, std::string());
}

} // namespace BusinessLogic
