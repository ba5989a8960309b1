#pragma once

#include "BusinessLogic/QueryCommand.h"

// Pump profile (fluid type) index.
class GetPumpProfileCharactristic : public BusinessLogic::QueryCommand
{
public:
    explicit GetPumpProfileCharactristic(Communication *communication)
        : BusinessLogic::QueryCommand(communication,
                                      BusinessLogic::CommandSpezifier::GetPumpProfileCharactristic,
                                      "?CC", "0")
    {}
};
