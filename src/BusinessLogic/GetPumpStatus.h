#pragma once

#include "BusinessLogic/QueryCommand.h"

// Pump status of one group (0 to 6): "?SS" and the group digit. The answer is tagged with the
// group ("123 4") so that the display knows which status word it belongs to.
class GetPumpStatus : public BusinessLogic::QueryCommand
{
public:
    explicit GetPumpStatus(Communication *communication);

    std::string answer() override;
    void setParameter(long value) override;
    using BusinessLogic::Command::setParameter;

    long group = 0;

protected:
    std::string queryField() const override;
};
