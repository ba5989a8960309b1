#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Function code of digital input 2.
class OperationItemDigitalIn2 : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetDigitalIn2);
    }
};
