#pragma once

#include "BusinessLogic/QueryCommand.h"

// Auto start: 1 on, 0 off.
class GetAutostart : public BusinessLogic::QueryCommand
{
public:
    explicit GetAutostart(Communication *communication)
        : BusinessLogic::QueryCommand(communication, BusinessLogic::CommandSpezifier::GetAutostart,
                                      "?SA", "0")
    {}
};
