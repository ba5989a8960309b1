#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

// Elapsed time, HHMMSS and hundredths.
class GetTimeActual : public QueryCommand
{
public:
    explicit GetTimeActual(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetTimeActual, "?TT", "00000000")
    {}
};

} // namespace BusinessLogic
