#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

// Result of the communication check, filled by the pump search: the answer as an integer, or -1
// ("-1") when the answer is not one. Setting a value rewrites the text to match.
class OperationItemCommCheck : public GUI::OperationItem
{
public:
    OperationItemCommCheck()
        : GUI::OperationItem(-1, QStringLiteral("-1"))
    {}

    void update(Answer *answer) override;
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::ExecuteCommCheck);
    }
    void setValue(int value) override;
};
