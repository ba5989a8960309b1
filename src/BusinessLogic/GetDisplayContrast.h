#pragma once

#include "BusinessLogic/QueryCommand.h"

// Display contrast in percent.
class GetDisplayContrast : public BusinessLogic::QueryCommand
{
public:
    explicit GetDisplayContrast(Communication *communication)
        : BusinessLogic::QueryCommand(
              communication, BusinessLogic::CommandSpezifier::GetDisplayContrast, "?LC", "40")
    {}
};
