#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic {

// A query: "?" and the setting's mnemonic, answered by a data frame with the value. Silence, NAK
// or an empty frame report the fixed empty-answer text, so the display always gets text of the
// expected shape.
class QueryCommand : public Command
{
public:
    QueryCommand(Communication *communication, CommandSpezifier id, std::string mnemonic,
                 std::string emptyAnswerText);

    CommandSpezifier spezifier() override;
    void execute() override;

protected:
    // Sent between mnemonic and ETX; empty for all queries but the status query.
    virtual std::string queryField() const;

private:
    const CommandSpezifier id;
    const std::string mnemonic;
    const std::string emptyAnswerText;
};

} // namespace BusinessLogic
