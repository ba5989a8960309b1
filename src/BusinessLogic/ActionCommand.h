#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic {

// An action or mode switch: a mnemonic with a fixed field ("KY" "0"), answered by ACK or NAK.
class ActionCommand : public Command
{
public:
    ActionCommand(Communication *communication, CommandSpezifier id, std::string mnemonic,
                  std::string fixedField);

    CommandSpezifier spezifier() override;
    void execute() override;

private:
    const CommandSpezifier id;
    const std::string mnemonic;
    const std::string fixedField;
};

} // namespace BusinessLogic
