#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Pump model index set at the factory ("OFFLINE", hence 0, while no pump answers).
class OperationItemFactoryPumpModel : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetPumpModel);
    }
};
