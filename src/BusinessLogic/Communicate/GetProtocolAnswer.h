#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::Communicate {

// Protocol answer: 1 on, 0 off.
class GetProtocolAnswer : public QueryCommand
{
public:
    explicit GetProtocolAnswer(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetProtocolAnswer, "?SP", "1")
    {}
};

} // namespace BusinessLogic::Communicate
