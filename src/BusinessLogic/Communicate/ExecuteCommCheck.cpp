#include "BusinessLogic/Communicate/ExecuteCommCheck.h"

#include "serial/Communication.h"

namespace BusinessLogic::Communicate {

ExecuteCommCheck::ExecuteCommCheck(Communication *communication)
    : QueryCommand(communication, CommandSpezifier::ExecuteCommCheck, "?SI", "-1")
{}

void ExecuteCommCheck::execute()
{
    if (!communication->portOpen)
        communication->reopen();
    QueryCommand::execute();
}

} // namespace BusinessLogic::Communicate
