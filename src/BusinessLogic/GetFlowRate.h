#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic {

// Target flow rate, thousandths of a millilitre per minute.
class GetFlowRate : public QueryCommand
{
public:
    explicit GetFlowRate(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetFlowRate, "?RV", "10000")
    {}
};

} // namespace BusinessLogic
