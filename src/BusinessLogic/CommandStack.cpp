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

Ticket CommandStack::enqueue(Command *command, int value, bool logFlag, Lane lane)
{
    QMutexLocker lock(&queueMutex);
    const Ticket ticket = ++lastTicket;
    laneOf(lane).push_back({command, value, logFlag, ticket, lane});
    return ticket;
}

Ticket CommandStack::push(Command *command, int value, bool logFlag)
{
    return enqueue(command, value, logFlag, Lane::Operator);
}

Ticket CommandStack::pushText(Command *command, const std::string &text)
{
    QMutexLocker lock(&queueMutex);
    pendingText = text;
    return enqueue(command, 0, true, Lane::Operator);
}

Ticket CommandStack::pushPoll(Command *command, int value, bool logFlag)
{
    return enqueue(command, value, logFlag, Lane::Poll);
}

void CommandStack::logTransmitted(const SystemTime &) {}

void CommandStack::logReceived(const SystemTime &) {}

void CommandStack::clear()
{
    std::vector<Ticket> dropped;
    {
        QMutexLocker lock(&queueMutex);
        for (const auto *lane : {&queue, &pollQueue}) {
            for (const QueueEntry &entry : *lane)
                dropped.push_back(entry.ticket);
        }
        queue.clear();
        pollQueue.clear();
    }
    if (!dropped.empty())
        emit entriesCleared(dropped);
}

void CommandStack::removeQueries(Lane lane)
{
    std::vector<Ticket> dropped;
    {
        QMutexLocker lock(&queueMutex);
        std::deque<QueueEntry> &entries = laneOf(lane);
        const auto isQuery = [&dropped](const QueueEntry &entry) {
            if (dynamic_cast<QueryCommand *>(entry.command) == nullptr)
                return false;
            dropped.push_back(entry.ticket);
            return true;
        };
        entries.erase(std::remove_if(entries.begin(), entries.end(), isQuery), entries.end());
    }
    if (!dropped.empty())
        emit entriesCleared(dropped);
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
    return static_cast<int>(queue.size() + pollQueue.size());
}

int CommandStack::queuedCount(Lane lane) const
{
    QMutexLocker lock(&queueMutex);
    return static_cast<int>(lane == Lane::Operator ? queue.size() : pollQueue.size());
}

std::vector<QueueEntry> CommandStack::queuedEntries() const
{
    QMutexLocker lock(&queueMutex);
    std::vector<QueueEntry> entries;
    // An operator's command pushed during a poll's exchange runs after that poll.
    if (onTheWire != 0 && !pollQueue.empty() && pollQueue.front().ticket == onTheWire)
        entries.push_back(pollQueue.front());
    for (const auto *lane : {&queue, &pollQueue}) {
        for (const QueueEntry &entry : *lane) {
            if (entries.empty() || entry.ticket != entries.front().ticket)
                entries.push_back(entry);
        }
    }
    return entries;
}

bool CommandStack::take(Ticket ticket)
{
    for (auto *lane : {&queue, &pollQueue}) {
        const auto it = std::find_if(lane->begin(), lane->end(),
                                     [ticket](const QueueEntry &e) { return e.ticket == ticket; });
        if (it != lane->end()) {
            lane->erase(it);
            return true;
        }
    }
    return false;
}

void CommandStack::ExecuteCommand()
{
    QueueEntry entry;
    std::string text;
    {
        QMutexLocker lock(&queueMutex);
        const std::deque<QueueEntry> &lane = !queue.empty() ? queue : pollQueue;
        if (lane.empty())
            return;
        entry = lane.front();
        onTheWire = entry.ticket;
        currentCommand = entry.command;
        currentValue = entry.value;
        text = pendingText;
    }
    if (currentCommand == nullptr) {
        // A null entry would have nothing to execute; drop it rather than crash.
        {
            QMutexLocker lock(&queueMutex);
            take(entry.ticket);
            onTheWire = 0;
        }
        emit entriesCleared({entry.ticket});
        return;
    }

    if (currentCommand->spezifier() == CommandSpezifier::SetDiscreteCommand)
        currentCommand->setParameter(text);
    else
        currentCommand->setParameter(static_cast<long>(currentValue));

    txTime = SystemTime::nowUtc();
    currentCommand->execute();
    rxTime = SystemTime::nowUtc();
    AnswerOutcome outcome = currentCommand->outcome();

    {
        QMutexLocker lock(&queueMutex);
        if (entry.logFlag)
            logTransmitted(txTime);
    }
    lastCommandId = toInt(currentCommand->spezifier());
    lastAnswerText = currentCommand->answer();
    {
        QMutexLocker lock(&queueMutex);
        if (entry.logFlag)
            logReceived(rxTime);
        // A slot reached from the logging may have cleared the entry away: then its answer is
        // nobody's, and the entry queued after it stays.
        if (!take(entry.ticket))
            outcome = AnswerOutcome::Cleared;
        onTheWire = 0;
    }
    emit sendAnswer(Answer{lastCommandId, lastAnswerText, entry.ticket, outcome});
}

} // namespace BusinessLogic
