#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Whether the pump acknowledges settings and actions: 0 off, 1 on.
class OperationItemProtocolAnswer : public GUI::OperationItem
{
public:
    OperationItemProtocolAnswer()
        : GUI::OperationItem(1, QStringLiteral("1"))
    {}

    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetProtocolAnswer);
    }
};
