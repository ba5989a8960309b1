#pragma once

#include "BusinessLogic/QueryCommand.h"

namespace BusinessLogic::DosingCommands {

// Break time in seconds.
class GetDispenseVolumeBreakTime : public QueryCommand
{
public:
    explicit GetDispenseVolumeBreakTime(Communication *communication)
        : QueryCommand(communication, CommandSpezifier::GetDispenseVolumeBreakTime, "?DB", "1")
    {}
};

} // namespace BusinessLogic::DosingCommands
