#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Stroke volume set at the factory, in tenths of a microlitre.
class OperationItemFactoryStrokeVolume : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetFactoryPumpStrokeVolume);
    }
};
