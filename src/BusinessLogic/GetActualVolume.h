#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

// Volume delivered, thousandths of a millilitre.
class GetActualVolume : public QueryCommand
{
public:
    explicit GetActualVolume(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetActualVolume, "?TV", "30")
    {}
};

} // namespace BusinessLogic
