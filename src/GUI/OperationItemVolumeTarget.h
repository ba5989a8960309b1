#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Volume set-point, in thousandths of a millilitre.
class OperationItemVolumeTarget : public GUI::OperationItem
{
public:
    OperationItemVolumeTarget()
        : GUI::OperationItem(10, QStringLiteral("10.00"))
    {}

    // The pump reports whole thousandths; a fraction is cut off.
    void update(Answer *answer) override { decodeTruncatedDecimal(answer); }
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetVolume);
    }
};
