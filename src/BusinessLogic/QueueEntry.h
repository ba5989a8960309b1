#pragma once

namespace BusinessLogic {

class Command;

// One pending execution: the command object (not owned), its value, whether to log it.
struct QueueEntry
{
    Command *command = nullptr;
    int value = 0;
    bool logFlag = false;
};

} // namespace BusinessLogic
