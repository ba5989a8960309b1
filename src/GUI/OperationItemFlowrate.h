#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Flow-rate set-point, in thousandths of a millilitre per minute.
class OperationItemFlowrate : public GUI::OperationItem
{
public:
    OperationItemFlowrate()
        : GUI::OperationItem(10, QStringLiteral("10.00"))
    {}

    // The pump reports whole thousandths; a fraction is cut off.
    void update(Answer *answer) override { decodeTruncatedDecimal(answer); }
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetFlowRate);
    }
};
