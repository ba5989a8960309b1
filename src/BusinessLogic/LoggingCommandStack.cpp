#include "BusinessLogic/LoggingCommandStack.h"

#include "BusinessLogic/Command.h"
#include "BusinessLogic/TrafficLogFormat.h"

namespace BusinessLogic {

void LoggingCommandStack::logTransmitted(const SystemTime &time)
{
    txLine = TrafficLogFormat::line(time, currentCommand->rawCommand());
    txStamp = static_cast<int>(TrafficLogFormat::stamp(time).size()) - 1;
    emit sendLastCommandInvalidPositions(currentCommand->invalidCommandPositions());
    emit sendLastCommandInvalidReasons(currentCommand->invalidCommandReasons());
    emit sendLastCommand(&txLine);
}

void LoggingCommandStack::logReceived(const SystemTime &time)
{
    rxLine = TrafficLogFormat::line(time, currentCommand->rawAnswer());
    rxStamp = static_cast<int>(TrafficLogFormat::stamp(time).size()) - 1;
    emit sendLastAnswerInvalidPositions(currentCommand->invalidAnswerPositions());
    emit sendLastAnswerInvalidReasons(currentCommand->invalidAnswerReasons());
    emit sendLastAnswer(&rxLine);
}

int LoggingCommandStack::rxStampLength()
{
    return rxStamp;
}

int LoggingCommandStack::txStampLength()
{
    return txStamp;
}

} // namespace BusinessLogic
