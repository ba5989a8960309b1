#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Customer calibration, in hundredths of a percent.
class OperationItemCustomCalibrationPercentage : public GUI::OperationItem
{
public:
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetCustCalPercent);
    }
};
