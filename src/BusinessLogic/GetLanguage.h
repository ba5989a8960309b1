#pragma once

#include "BusinessLogic/QueryCommand.h"

// Language index.
class GetLanguage : public BusinessLogic::QueryCommand
{
public:
    explicit GetLanguage(Communication *communication)
        : BusinessLogic::QueryCommand(communication, BusinessLogic::CommandSpezifier::GetLanguage,
                                      "?LS", "0")
    {}
};
