#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::Communicate {

// Ten digits: hardware code, then firmware version.
class GetModelVersion : public QueryCommand
{
public:
    explicit GetModelVersion(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetModelVersion, "?SV", "0011000000")
    {}
};

} // namespace BusinessLogic::Communicate
