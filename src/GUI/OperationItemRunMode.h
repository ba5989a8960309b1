#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Run mode digit as the pump reports it (flow rate or dispensing by volume).
class OperationItemRunMode : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetRunMode);
    }
};
