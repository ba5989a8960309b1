#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Factory mode: 0 off, 1 on.
class OperationItemFactoryMode : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetFactoryMode);
    }
};
