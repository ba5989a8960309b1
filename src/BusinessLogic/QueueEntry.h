#pragma once

#include "BusinessLogic/Ticket.h"

#include <QtGlobal>

namespace BusinessLogic {

class Command;

// Which queue an entry waits in, highest priority first: Stop from any source, the local
// operator (window, typed and link commands, the tool's own steps), remote requests, polls.
enum class Lane { Stop, Operator, Remote, Program, Poll };
constexpr int LaneCount = 5;

// One pending execution: the command object (not owned), its value, whether to log it, the
// ticket its answer carries, the lane it waits in and when it was queued (monotonic ms).
struct QueueEntry
{
    Command *command = nullptr;
    int value = 0;
    bool logFlag = false;
    Ticket ticket = 0;
    Lane lane = Lane::Operator;
    qint64 queuedAt = 0;
};

} // namespace BusinessLogic
