#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Fluid type the pump doses for, as a pump profile index.
class OperationItemPumpProfileCharacteristic : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetPumpProfileCharactristic);
    }
};
