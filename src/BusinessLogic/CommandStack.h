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
// queued command per tick, first in first out, and publishes every answer.
class CommandStack : public QObject
{
    Q_OBJECT

public:
    static constexpr int TickMs = 10;

    CommandStack();
    ~CommandStack() override;

    void push(Command *command, int value, bool logFlag);
    // The hand-typed command: all queued text commands share one text slot, the last one wins.
    void pushText(Command *command, const std::string &text);

    virtual void logTransmitted(const SystemTime &time);
    virtual void logReceived(const SystemTime &time);
    virtual void clear();
    // Drops every queued entry whose command is a query (polls, link checks) and keeps the
    // rest (the operator's settings and actions) in their order.
    void removeQueries();
    virtual int rxStampLength();
    virtual int txStampLength();

    int queuedCount() const;
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

protected:
    std::string txLine;
    std::string rxLine;
    Command *currentCommand = nullptr;
    int currentValue = 0;

private:
    std::deque<QueueEntry> queue;
    std::string pendingText;
    QTimer *executeTimer;
    mutable QRecursiveMutex queueMutex;
    // Counts clear() calls, so that an execution whose entry was cleared away from inside the
    // logging does not remove the entry queued after it.
    unsigned clearGeneration = 0;
    int lastCommandId = 0;
    std::string lastAnswerText;
    SystemTime txTime;
    SystemTime rxTime;
};

} // namespace BusinessLogic
