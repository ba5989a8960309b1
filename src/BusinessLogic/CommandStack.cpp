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
    laneOf(lane).push_back({command, value, logFlag, ticket, lane, TickClock::now()});
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

Ticket CommandStack::pushRemote(Command *command, int value, bool logFlag)
{
    return enqueue(command, value, logFlag, Lane::Remote);
}

Ticket CommandStack::pushProgram(Command *command, int value, bool logFlag)
{
    return enqueue(command, value, logFlag, Lane::Program);
}

Ticket CommandStack::pushStop(Command *command, bool logFlag)
{
    std::vector<Ticket> dropped;
    Ticket ticket = 0;
    bool joined = true;
    {
        QMutexLocker lock(&queueMutex);
        for (std::deque<QueueEntry> &lane : lanes) {
            const auto startsMotor = [&dropped, this](const QueueEntry &entry) {
                if (entry.command == nullptr || entry.ticket == onTheWire)
                    return false;
                const CommandSpezifier id = entry.command->spezifier();
                if (id != CommandSpezifier::Start && id != CommandSpezifier::Prime)
                    return false;
                dropped.push_back(entry.ticket);
                return true;
            };
            lane.erase(std::remove_if(lane.begin(), lane.end(), startsMotor), lane.end());
        }
        std::deque<QueueEntry> &stops = laneOf(Lane::Stop);
        const auto waiting =
            std::find_if(stops.begin(), stops.end(), [command, this](const QueueEntry &entry) {
                return entry.command == command && entry.ticket != onTheWire;
            });
        if (waiting != stops.end()) {
            // The waiting Stop says all this one would: a flood costs one frame, not one each.
            waiting->logFlag = waiting->logFlag || logFlag;
            ticket = waiting->ticket;
        } else {
            ticket = enqueue(command, 0, logFlag, Lane::Stop);
            joined = false;
        }
    }
    drop(std::move(dropped));
    // Not at the next tick: as soon as the event loop is back from the exchange on the wire.
    if (!joined)
        QTimer::singleShot(0, this, &CommandStack::ExecuteCommand);
    return ticket;
}

void CommandStack::drop(std::vector<Ticket> tickets)
{
    if (!tickets.empty())
        emit entriesCleared(tickets);
}

void CommandStack::logTransmitted(const SystemTime &) {}

void CommandStack::logReceived(const SystemTime &) {}

void CommandStack::clear()
{
    std::vector<Ticket> dropped;
    {
        QMutexLocker lock(&queueMutex);
        for (std::deque<QueueEntry> &lane : lanes) {
            for (const QueueEntry &entry : lane)
                dropped.push_back(entry.ticket);
            lane.clear();
        }
    }
    drop(std::move(dropped));
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
    drop(std::move(dropped));
}

void CommandStack::removeLane(Lane lane)
{
    std::vector<Ticket> dropped;
    {
        QMutexLocker lock(&queueMutex);
        std::deque<QueueEntry> &entries = laneOf(lane);
        for (const QueueEntry &entry : entries) {
            if (entry.ticket != onTheWire)
                dropped.push_back(entry.ticket);
        }
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [this](const QueueEntry &e) { return e.ticket != onTheWire; }),
                      entries.end());
    }
    drop(std::move(dropped));
}

void CommandStack::removeTickets(Lane lane, const std::vector<Ticket> &tickets)
{
    std::vector<Ticket> dropped;
    {
        QMutexLocker lock(&queueMutex);
        std::deque<QueueEntry> &entries = laneOf(lane);
        const auto listed = [&](const QueueEntry &entry) {
            if (entry.ticket == onTheWire ||
                std::find(tickets.begin(), tickets.end(), entry.ticket) == tickets.end())
                return false;
            dropped.push_back(entry.ticket);
            return true;
        };
        entries.erase(std::remove_if(entries.begin(), entries.end(), listed), entries.end());
    }
    drop(std::move(dropped));
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
    std::size_t n = 0;
    for (const std::deque<QueueEntry> &lane : lanes)
        n += lane.size();
    return static_cast<int>(n);
}

int CommandStack::queuedCount(Lane lane) const
{
    QMutexLocker lock(&queueMutex);
    return static_cast<int>(laneOf(lane).size());
}

std::vector<QueueEntry> CommandStack::queuedEntries() const
{
    QMutexLocker lock(&queueMutex);
    std::vector<QueueEntry> entries;
    // Whatever was pushed during an exchange runs after it.
    for (const std::deque<QueueEntry> &lane : lanes) {
        if (onTheWire != 0 && !lane.empty() && lane.front().ticket == onTheWire)
            entries.push_back(lane.front());
    }
    for (const std::deque<QueueEntry> &lane : lanes) {
        for (const QueueEntry &entry : lane) {
            if (entry.ticket != onTheWire)
                entries.push_back(entry);
        }
    }
    return entries;
}

bool CommandStack::take(Ticket ticket)
{
    for (std::deque<QueueEntry> &lane : lanes) {
        const auto it = std::find_if(lane.begin(), lane.end(),
                                     [ticket](const QueueEntry &e) { return e.ticket == ticket; });
        if (it != lane.end()) {
            lane.erase(it);
            return true;
        }
    }
    return false;
}

const std::deque<QueueEntry> *CommandStack::nextLane(qint64 now) const
{
    const std::deque<QueueEntry> &stops = laneOf(Lane::Stop);
    const std::deque<QueueEntry> &polls = laneOf(Lane::Poll);
    const bool pollOverdue = !polls.empty() && now - polls.front().queuedAt >= PollOverdueMs;
    // The first Stop goes at once. One right behind a Stop that has just been sent changes
    // nothing at the pump: it lets one overdue poll go first, so that a flood of Stops still
    // hears the pump's count and errors.
    if (!stops.empty())
        return lastRun == Lane::Stop && pollOverdue ? &polls : &stops;
    // Requests never hold the polls off for long: an overdue poll takes every other turn from
    // remote requests, and every fourth from the local operator, whose burst of a few commands
    // still runs at once.
    if (pollOverdue) {
        const int turns = laneOf(Lane::Operator).empty() ? 1 : OperatorTurnsPerPoll;
        if (requestStreak >= turns)
            return &polls;
    }
    for (Lane lane : {Lane::Operator, Lane::Remote, Lane::Program, Lane::Poll}) {
        if (!laneOf(lane).empty())
            return &laneOf(lane);
    }
    return nullptr;
}

bool CommandStack::pollIsNext() const
{
    QMutexLocker lock(&queueMutex);
    return onTheWire == 0 && nextLane(TickClock::now()) == &laneOf(Lane::Poll);
}

void CommandStack::ExecuteCommand()
{
    if (pollIsNext())
        emit pollDue();
    QueueEntry entry;
    std::string text;
    {
        QMutexLocker lock(&queueMutex);
        // A stop's immediate run may find the entry on the wire still running: nested by a
        // wait that let the event loop in, it must not start a second exchange.
        if (onTheWire != 0)
            return;
        const std::deque<QueueEntry> *lane = nextLane(TickClock::now());
        if (lane == nullptr)
            return;
        entry = lane->front();
        requestStreak = entry.lane == Lane::Poll ? 0 : requestStreak + 1;
        lastRun = entry.lane;
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
