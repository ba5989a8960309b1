#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::FactoryDefaultsReset {

// Factory mode: 1 on, 0 off.
class GetFactoryMode : public QueryCommand
{
public:
    explicit GetFactoryMode(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetFactoryMode, "?PF!", "0")
    {}
};

} // namespace BusinessLogic::FactoryDefaultsReset
