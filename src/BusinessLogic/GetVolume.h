#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

// Target volume, thousandths of a millilitre.
class GetVolume : public QueryCommand
{
public:
    explicit GetVolume(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetVolume, "?DV", "10000")
    {}
};

} // namespace BusinessLogic
