#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Dispense time set-point. The pump sends HHMMSS; the text keeps those six characters for the
// display, the value is the time in seconds.
class OperationItemDispenseTime : public GUI::OperationItem
{
public:
    static constexpr int TextLength = 6;

    void update(Answer *answer) override;
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetDispenseTime);
    }
};
