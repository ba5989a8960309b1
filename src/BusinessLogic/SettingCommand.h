#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic {

// A setting: a mnemonic with the last parameter, zero-filled to the field width, answered by
// ACK or NAK. The parameter persists: executing again sends the same value.
class SettingCommand : public Command
{
public:
    SettingCommand(Communication *communication, CommandSpezifier id, std::string mnemonic,
                   int width, std::string emptyAnswerText);

    CommandSpezifier spezifier() override;
    void execute() override;
    void setParameter(long value) override;
    using Command::setParameter;

    long value = 0;

private:
    const CommandSpezifier id;
    const std::string mnemonic;
    const int width;
    const std::string emptyAnswerText;
};

} // namespace BusinessLogic
