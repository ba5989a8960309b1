#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/InvalidReason.h"
#include "BusinessLogic/QueueEntry.h"
#include "platform/SystemTime.h"

#include <QObject>
#include <QRecursiveMutex>
#include <QTimer>

#include <array>
#include <deque>
#include <string>
#include <vector>

namespace BusinessLogic {

class Command;

// Serialises all traffic to the pump: producers only queue; a 10 ms timer executes at most one
// queued command per tick and publishes every answer with the ticket of the entry that ran.
// The arbiter: five lanes, each first in first out, served in the order Stop, operator, remote,
// program, polls, after the exchange already on the wire. Stop is never refused and runs at once; a
// poll that has waited PollOverdueMs takes turns with the requests, so that polling never starves
// under a stream of them. Stops are merged, not counted: one waiting Stop takes every Stop given
// until it goes on the wire, and a Stop right behind a Stop lets one overdue poll go first, so that
// a flood of Stops neither fills the wire nor hides what the pump says.
class CommandStack : public QObject
{
    Q_OBJECT

public:
    static constexpr int TickMs = 10;
    // A poll queued this long ago alternates with the operator's and the remote requests.
    static constexpr int PollOverdueMs = 200;
    static constexpr int OperatorTurnsPerPoll = 3;

    CommandStack();
    ~CommandStack() override;

    // The operator's lane: the window's commands, link commands and checks.
    Ticket push(Command *command, int value, bool logFlag);
    // The hand-typed command: all queued text commands share one text slot, the last one wins.
    Ticket pushText(Command *command, const std::string &text);
    // The poller's lane, served while the other lanes are empty, or in turns once overdue.
    Ticket pushPoll(Command *command, int value, bool logFlag);
    // Requests from the network, behind the local operator.
    Ticket pushRemote(Command *command, int value, bool logFlag);
    // A running dosing program's steps: behind the operator and the network, ahead of polls.
    Ticket pushProgram(Command *command, int value, bool logFlag);
    // Stop, from any source: next after the exchange on the wire. Start and prime still queued
    // in any lane are dropped with it, so a stop is never undone by what was asked before it.
    // A Stop that finds one waiting (not yet on the wire) joins it and gets its ticket: one
    // frame, and one answer for every caller.
    Ticket pushStop(Command *command, bool logFlag);

    virtual void logTransmitted(const SystemTime &time);
    virtual void logReceived(const SystemTime &time);
    virtual void clear();
    // Drops every entry of that lane whose command is a query (link checks, polls) and keeps the
    // rest (the operator's settings and actions) in their order.
    void removeQueries(Lane lane);
    // Drops every entry of that lane (the broker lost, or the bridge gone).
    void removeLane(Lane lane);
    // Drops those entries of that lane (one kind of remote request no longer allowed).
    void removeTickets(Lane lane, const std::vector<Ticket> &tickets);
    virtual int rxStampLength();
    virtual int txStampLength();

    int queuedCount() const;
    int queuedCount(Lane lane) const;
    // In the order they will run: the entry on the wire, the operator's lane, the poller's.
    std::vector<QueueEntry> queuedEntries() const;

public slots:
    void ExecuteCommand();

signals:
    void sendAnswer(Answer ans);
    void sendLastCommand(std::string *cmd);
    void sendLastAnswer(std::string *answer);
    void sendLastAnswerInvalidPositions(std::vector<int> positions);
    void sendLastAnswerInvalidReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    void sendLastCommandInvalidPositions(std::vector<int> positions);
    void sendLastCommandInvalidReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    // Entries removed by clear() or removeQueries(): they will never be answered.
    void entriesCleared(std::vector<BusinessLogic::Ticket> tickets);
    // A poll is about to take the idle line: a source that reads a network hands in what has
    // already arrived, so that a request a moment old does not wait for a whole poll.
    void pollDue();

protected:
    std::string txLine;
    std::string rxLine;
    Command *currentCommand = nullptr;
    int currentValue = 0;

private:
    Ticket enqueue(Command *command, int value, bool logFlag, Lane lane);
    std::deque<QueueEntry> &laneOf(Lane lane) { return lanes[static_cast<std::size_t>(lane)]; }
    const std::deque<QueueEntry> &laneOf(Lane lane) const
    {
        return lanes[static_cast<std::size_t>(lane)];
    }
    // The lane whose front entry runs next; nothing when all are empty.
    const std::deque<QueueEntry> *nextLane(qint64 now) const;
    bool pollIsNext() const;
    // Removes the entry with that ticket; false when a clear took it first.
    bool take(Ticket ticket);
    void drop(std::vector<Ticket> tickets);

    std::array<std::deque<QueueEntry>, LaneCount> lanes;
    // Entries run since the last poll.
    int requestStreak = 0;
    // The lane of the entry that ran last: a Stop right behind a Stop is a flood's, not news.
    Lane lastRun = Lane::Poll;
    std::string pendingText;
    QTimer *executeTimer;
    mutable QRecursiveMutex queueMutex;
    Ticket lastTicket = 0;
    Ticket onTheWire = 0; // the entry being executed, 0 between executions
    int lastCommandId = 0;
    std::string lastAnswerText;
    SystemTime txTime;
    SystemTime rxTime;
};

} // namespace BusinessLogic
