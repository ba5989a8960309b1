#include "BusinessLogic/GetPumpStatus.h"

GetPumpStatus::GetPumpStatus(Communication *communication)
    : BusinessLogic::QueryCommand(communication, BusinessLogic::CommandSpezifier::GetPumpStatus,
                                  "?SS", "0")
{}

std::string GetPumpStatus::answer()
{
    return QueryCommand::answer() + ' ' + std::to_string(group);
}

void GetPumpStatus::setParameter(long value)
{
    group = value;
}

std::string GetPumpStatus::queryField() const
{
    return valueField(group, 1);
}
