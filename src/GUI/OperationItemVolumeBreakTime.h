#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Pause between two dosing cycles, in seconds.
class OperationItemVolumeBreakTime : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetDispenseVolumeBreakTime);
    }
};
