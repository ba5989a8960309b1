#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Function code of the analog input.
class OperationItemAnalogIn : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetAnalogInput);
    }
};
