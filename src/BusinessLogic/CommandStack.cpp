#include "BusinessLogic/CommandStack.h"

#include "BusinessLogic/Command.h"
#include "BusinessLogic/QueryCommand.h"
#include "platform/TickClock.h"

#include <QMutexLocker>

#include <algorithm>

namespace BusinessLogic {

CommandStack::CommandStack()
    : QObject(nullptr)
    , executeTimer(new QTimer(this))
{
    connect(executeTimer, &QTimer::timeout, this, &CommandStack::ExecuteCommand);
    executeTimer->start(TickMs);
}

CommandStack::~CommandStack() = default;

void CommandStack::push(Command *command, int value, bool logFlag)
{
    QMutexLocker lock(&queueMutex);
    queue.push_back({command, value, logFlag});
}

void CommandStack::pushText(Command *command, const std::string &text)
{
    QMutexLocker lock(&queueMutex);
    queue.push_back({command, 0, true});
    pendingText = text;
}

void CommandStack::logTransmitted(const SystemTime &) {}

void CommandStack::logReceived(const SystemTime &) {}

void CommandStack::clear()
{
    QMutexLocker lock(&queueMutex);
    queue.clear();
    ++clearGeneration;
}

void CommandStack::removeQueries()
{
    QMutexLocker lock(&queueMutex);
    const auto isQuery = [](const QueueEntry &entry) {
        return dynamic_cast<QueryCommand *>(entry.command) != nullptr;
    };
    if (!queue.empty() && isQuery(queue.front()))
        ++clearGeneration; // the front entry goes: an execution in progress must not pop another
    queue.erase(std::remove_if(queue.begin(), queue.end(), isQuery), queue.end());
}

int CommandStack::rxStampLength()
{
    return 0;
}

int CommandStack::txStampLength()
{
    return 0;
}

int CommandStack::queuedCount() const
{
    QMutexLocker lock(&queueMutex);
    return static_cast<int>(queue.size());
}

std::vector<QueueEntry> CommandStack::queuedEntries() const
{
    QMutexLocker lock(&queueMutex);
    return {queue.begin(), queue.end()};
}

void CommandStack::ExecuteCommand()
{
    bool logFlag = false;
    unsigned generation = 0;
    std::string text;
    {
        QMutexLocker lock(&queueMutex);
        if (queue.empty())
            return;
        currentCommand = queue.front().command;
        currentValue = queue.front().value;
        logFlag = queue.front().logFlag;
        generation = clearGeneration;
        text = pendingText;
    }
    if (currentCommand == nullptr) {
        // A null entry would have nothing to execute; drop it rather than crash.
        QMutexLocker lock(&queueMutex);
        if (generation == clearGeneration && !queue.empty())
            queue.pop_front();
        return;
    }

    if (currentCommand->spezifier() == CommandSpezifier::SetDiscreteCommand)
        currentCommand->setParameter(text);
    else
        currentCommand->setParameter(static_cast<long>(currentValue));

    txTime = SystemTime::nowUtc();
    currentCommand->execute();
    rxTime = SystemTime::nowUtc();

    {
        QMutexLocker lock(&queueMutex);
        if (logFlag)
            logTransmitted(txTime);
    }
    TickClock::sleep(1);
    lastCommandId = toInt(currentCommand->spezifier());
    lastAnswerText = currentCommand->answer();
    {
        QMutexLocker lock(&queueMutex);
        if (logFlag)
            logReceived(rxTime);
        if (generation == clearGeneration && !queue.empty())
            queue.pop_front();
    }
    emit sendAnswer(Answer{lastCommandId, lastAnswerText});
}

} // namespace BusinessLogic
