#pragma once

#include "BusinessLogic/Ticket.h"

namespace BusinessLogic {

class Command;

// Which queue an entry waits in: the operator's commands go ahead of the poller's queries.
enum class Lane { Operator, Poll };

// One pending execution: the command object (not owned), its value, whether to log it, the
// ticket its answer carries and the lane it waits in.
struct QueueEntry
{
    Command *command = nullptr;
    int value = 0;
    bool logFlag = false;
    Ticket ticket = 0;
    Lane lane = Lane::Operator;
};

} // namespace BusinessLogic
