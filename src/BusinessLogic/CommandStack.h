#pragma once

#include "BusinessLogic/Answer.h"
#include "BusinessLogic/InvalidReason.h"
#include "BusinessLogic/QueueEntry.h"
#include "platform/SystemTime.h"

#include <QObject>
#include <QRecursiveMutex>
#include <QTimer>

#include <deque>
#include <string>
#include <vector>

namespace BusinessLogic {

class Command;

// Serialises all traffic to the pump: producers only queue; a 10 ms timer executes at most one
// queued command per tick and publishes every answer with the ticket of the entry that ran.
// Two lanes, each first in first out: the operator's commands go ahead of the poller's queries,
// after the exchange already on the wire.
class CommandStack : public QObject
{
    Q_OBJECT

public:
    static constexpr int TickMs = 10;

    CommandStack();
    ~CommandStack() override;

    // The operator's lane: the window's commands, link commands and checks.
    Ticket push(Command *command, int value, bool logFlag);
    // The hand-typed command: all queued text commands share one text slot, the last one wins.
    Ticket pushText(Command *command, const std::string &text);
    // The poller's lane, served only while the operator's lane is empty.
    Ticket pushPoll(Command *command, int value, bool logFlag);

    virtual void logTransmitted(const SystemTime &time);
    virtual void logReceived(const SystemTime &time);
    virtual void clear();
    // Drops every entry of that lane whose command is a query (link checks, polls) and keeps the
    // rest (the operator's settings and actions) in their order.
    void removeQueries(Lane lane);
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

protected:
    std::string txLine;
    std::string rxLine;
    Command *currentCommand = nullptr;
    int currentValue = 0;

private:
    Ticket enqueue(Command *command, int value, bool logFlag, Lane lane);
    std::deque<QueueEntry> &laneOf(Lane lane) { return lane == Lane::Operator ? queue : pollQueue; }
    // Removes the entry with that ticket; false when a clear took it first.
    bool take(Ticket ticket);

    std::deque<QueueEntry> queue; // the operator's lane
    std::deque<QueueEntry> pollQueue;
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
