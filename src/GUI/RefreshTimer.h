#pragma once

#include "BusinessLogic/Ticket.h"
#include "GUI/Refresher.h"

#include <QMutex>
#include <QRecursiveMutex>

#include <cstddef>
#include <deque>
#include <vector>

class QTimer;

namespace BusinessLogic {
class Command;
class CommandStack;
} // namespace BusinessLogic

namespace GUI {

// The poller: every 700 ms it queues the every-tick items, two steps of the fast rotation and
// one step of the slow rotation, at most ten queries, and never waits. The status item holds the
// fast rotation for seven steps, asking for the status groups 1-6 and then 0.
// Each query it queues keeps the ticket the stack gave it; an answer goes to the item whose ticket
// it carries, so nothing the stack clears or the operator sends can shift answers onto others.
// An item whose query from an earlier tick still waits is not asked again, and a rotation waits
// while one of its earlier queries does: the queue never holds more than one tick of queries.
class RefreshTimer : public Refresher
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 700;

    // Neither the stack nor the table is owned; the table is indexed by command id.
    RefreshTimer(BusinessLogic::CommandStack *commandStack,
                 std::vector<BusinessLogic::Command *> *commandTable);
    ~RefreshTimer() override;

    void attach(OperationItem *item, RefreshClass refreshClass) override;
    void detach(OperationItem *item) override;

    // Read access for the window's diagnostics and for tests.
    std::vector<OperationItem *> everyTick() const;
    std::vector<OperationItem *> fast() const;
    std::vector<OperationItem *> slow() const;
    std::vector<OperationItem *> pending() const;
    int pendingCount() const;
    bool displaysTraffic() const;
    bool polling() const;

    // The tickets still waiting for their answers, oldest first.
    std::vector<BusinessLogic::Ticket> pendingTickets() const;

    static int statusGroup();
    // Starts the status groups again from the first one (a fresh start; one refresher exists).
    static void resetStatusGroup();

public slots:
    void notify(Answer data) override;
    void displayProtocolAnswer(bool notDisplayed) override;
    void noCyclicDataUpdate(bool noUpdate) override;
    void execute();

signals:
    // An answer was handed to the item that asked for it.
    void delivered(GUI::OperationItem *item);
    // Every 700 ms, after the tick's queries were queued (also while polling is off): the
    // moment to take a picture of what the last round brought.
    void ticked();

private:
    enum class Source { EveryTick, Fast, Slow };
    struct Pending
    {
        BusinessLogic::Ticket ticket = 0;
        OperationItem *item = nullptr;
        unsigned tick = 0;
        Source source = Source::EveryTick;
        int value = 0; // the query's parameter (the status group)
    };

    // True while a query queued before this tick waits, for that item or from that rotation.
    bool waitingFromEarlierTick(const OperationItem *item) const;
    bool waitingFromEarlierTick(Source source) const;
    void forget(const std::vector<BusinessLogic::Ticket> &tickets);

    // One rotation step; returns the new position. The fast rotation has the status item's rule.
    std::size_t rotationStep(const std::vector<OperationItem *> &items, std::size_t position,
                             Source source);
    void queue(OperationItem *item, int value, Source source);

    std::vector<OperationItem *> everyTickItems;
    std::vector<OperationItem *> fastItems;
    std::vector<OperationItem *> slowItems;
    std::deque<Pending> pendingItems;
    mutable QRecursiveMutex pendingMutex;
    mutable QMutex listMutex;
    BusinessLogic::CommandStack *commandStack = nullptr;
    std::vector<BusinessLogic::Command *> *commandTable = nullptr;
    QTimer *refreshTimer = nullptr;
    // Index of the next rotation step; equal to the list size at the end of the list.
    std::size_t fastPosition = 0;
    std::size_t slowPosition = 0;
    bool displayTraffic = false;
    unsigned tickCount = 0;
    QMetaObject::Connection tickConnection;

    // The status group to ask for next (0-6), shared by the class.
    static int statusGroupCounter;
};

} // namespace GUI
