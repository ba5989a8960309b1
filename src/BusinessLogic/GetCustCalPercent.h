#pragma once

#include "BusinessLogic/QueryCommand.h"

// Calibration percentage times 100.
class GetCustCalPercent : public BusinessLogic::QueryCommand
{
public:
    explicit GetCustCalPercent(Communication *communication)
        : BusinessLogic::QueryCommand(
              communication, BusinessLogic::CommandSpezifier::GetCustCalPercent, "?CH", "10000")
    {}
};
