#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::DosingCommands {

// Number of dispense cycles.
class GetDispenseVolumeNumber : public QueryCommand
{
public:
    explicit GetDispenseVolumeNumber(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDispenseVolumeNumber, "?DN", "0")
    {}
};

} // namespace BusinessLogic::DosingCommands
