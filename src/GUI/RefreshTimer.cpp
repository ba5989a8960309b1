#include "GUI/RefreshTimer.h"

#include "BusinessLogic/CommandSpezifier.h"
#include "BusinessLogic/CommandStack.h"
#include "GUI/OperationItem.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>

namespace GUI {

namespace {

// Status groups run 1, 2, ... 6 and then 0; the pump has seven.
constexpr int LastStatusGroup = 6;

bool isStatusItem(OperationItem *item)
{
    return item->spezifier() ==
           BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetPumpStatus);
}

} // namespace

int RefreshTimer::statusGroupCounter = 0;

RefreshTimer::RefreshTimer(BusinessLogic::CommandStack *commandStack,
                           std::vector<BusinessLogic::Command *> *commandTable)
    : commandStack(commandStack)
    , commandTable(commandTable)
    , refreshTimer(new QTimer(this))
{
    qRegisterMetaType<Answer>("Answer");
    if (commandStack != nullptr) {
        connect(commandStack, &BusinessLogic::CommandStack::sendAnswer, this, &RefreshTimer::notify,
                Qt::DirectConnection);
        connect(
            commandStack, &BusinessLogic::CommandStack::entriesCleared, this,
            [this](const std::vector<BusinessLogic::Ticket> &tickets) { forget(tickets); },
            Qt::DirectConnection);
    }
    tickConnection = connect(refreshTimer, &QTimer::timeout, this, &RefreshTimer::execute);
    connect(refreshTimer, &QTimer::timeout, this, &RefreshTimer::ticked);
    refreshTimer->start(IntervalMs);
}

RefreshTimer::~RefreshTimer() = default;

void RefreshTimer::attach(OperationItem *item, RefreshClass refreshClass)
{
    if (item == nullptr)
        return;
    QMutexLocker lock(&listMutex);
    switch (refreshClass) {
    case EveryTick:
        everyTickItems.push_back(item);
        break;
    case FastRotation:
        fastItems.push_back(item);
        fastPosition = 0;
        break;
    case SlowRotation:
        slowItems.push_back(item);
        slowPosition = 0;
        break;
    }
}

void RefreshTimer::detach(OperationItem *item)
{
    QMutexLocker lock(&listMutex);
    for (auto *list : {&everyTickItems, &fastItems, &slowItems})
        list->erase(std::remove(list->begin(), list->end(), item), list->end());
    // Queries already queued for the item still bring their answers.
    if (!fastItems.empty())
        fastPosition = 0;
    if (!slowItems.empty())
        slowPosition = 0;
}

std::vector<OperationItem *> RefreshTimer::everyTick() const
{
    QMutexLocker lock(&listMutex);
    return everyTickItems;
}

std::vector<OperationItem *> RefreshTimer::fast() const
{
    QMutexLocker lock(&listMutex);
    return fastItems;
}

std::vector<OperationItem *> RefreshTimer::slow() const
{
    QMutexLocker lock(&listMutex);
    return slowItems;
}

std::vector<OperationItem *> RefreshTimer::pending() const
{
    QMutexLocker lock(&pendingMutex);
    std::vector<OperationItem *> items;
    for (const Pending &p : pendingItems)
        items.push_back(p.item);
    return items;
}

std::vector<BusinessLogic::Ticket> RefreshTimer::pendingTickets() const
{
    QMutexLocker lock(&pendingMutex);
    std::vector<BusinessLogic::Ticket> tickets;
    for (const Pending &p : pendingItems)
        tickets.push_back(p.ticket);
    return tickets;
}

int RefreshTimer::pendingCount() const
{
    QMutexLocker lock(&pendingMutex);
    return static_cast<int>(pendingItems.size());
}

bool RefreshTimer::displaysTraffic() const
{
    return displayTraffic;
}

bool RefreshTimer::polling() const
{
    return static_cast<bool>(tickConnection);
}

int RefreshTimer::statusGroup()
{
    return statusGroupCounter;
}

void RefreshTimer::resetStatusGroup()
{
    statusGroupCounter = 0;
}

void RefreshTimer::notify(Answer data)
{
    OperationItem *item = nullptr;
    int parameter = 0;
    {
        QMutexLocker lock(&pendingMutex);
        const auto it = std::find_if(pendingItems.begin(), pendingItems.end(),
                                     [&data](const Pending &p) { return p.ticket == data.ticket; });
        // Not ours: the operator's commands and link checks update no polled item.
        if (it == pendingItems.end())
            return;
        item = it->item;
        parameter = it->value;
        pendingItems.erase(it);
    }
    if (item->spezifier() != data.commandId)
        return;
    // Silence, a refusal, a garbled frame or a clear carries no value: the item keeps what the
    // pump last reported and knows it is no longer live.
    if (!data.accepted()) {
        item->markStale(parameter);
        return;
    }
    item->update(&data);
    emit delivered(item);
}

void RefreshTimer::forget(const std::vector<BusinessLogic::Ticket> &tickets)
{
    QMutexLocker lock(&pendingMutex);
    const auto cleared = [&tickets](const Pending &p) {
        if (std::find(tickets.begin(), tickets.end(), p.ticket) == tickets.end())
            return false;
        p.item->markStale(p.value);
        return true;
    };
    pendingItems.erase(std::remove_if(pendingItems.begin(), pendingItems.end(), cleared),
                       pendingItems.end());
}

bool RefreshTimer::waitingFromEarlierTick(const OperationItem *item) const
{
    QMutexLocker lock(&pendingMutex);
    return std::any_of(pendingItems.begin(), pendingItems.end(),
                       [&](const Pending &p) { return p.item == item && p.tick != tickCount; });
}

bool RefreshTimer::waitingFromEarlierTick(Source source) const
{
    QMutexLocker lock(&pendingMutex);
    return std::any_of(pendingItems.begin(), pendingItems.end(),
                       [&](const Pending &p) { return p.source == source && p.tick != tickCount; });
}

void RefreshTimer::displayProtocolAnswer(bool notDisplayed)
{
    displayTraffic = !notDisplayed;
}

void RefreshTimer::noCyclicDataUpdate(bool noUpdate)
{
    if (noUpdate) {
        disconnect(tickConnection);
        tickConnection = {};
    } else if (!tickConnection) {
        // Only one connection, however often polling is switched on.
        tickConnection = connect(refreshTimer, &QTimer::timeout, this, &RefreshTimer::execute);
    }
}

void RefreshTimer::execute()
{
    // Attach and detach hold the lists only briefly; a tick that finds them busy is skipped.
    if (!listMutex.tryLock())
        return;
    ++tickCount;
    for (OperationItem *item : everyTickItems) {
        if (!waitingFromEarlierTick(item))
            queue(item, 1, Source::EveryTick);
    }
    // A rotation whose queries of an earlier tick still wait holds its place.
    if (!fastItems.empty() && !waitingFromEarlierTick(Source::Fast)) {
        fastPosition = rotationStep(fastItems, fastPosition, Source::Fast);
        fastPosition = rotationStep(fastItems, fastPosition, Source::Fast);
    }
    if (!slowItems.empty() && !waitingFromEarlierTick(Source::Slow))
        slowPosition = rotationStep(slowItems, slowPosition, Source::Slow);
    listMutex.unlock();
}

std::size_t RefreshTimer::rotationStep(const std::vector<OperationItem *> &items,
                                       std::size_t position, Source source)
{
    if (position >= items.size())
        return 0; // the wrap step queues nothing
    OperationItem *item = items[position];
    if (waitingFromEarlierTick(item))
        return position; // asked already and not answered yet: the rotation waits for it
    if (source != Source::Fast || !isStatusItem(item)) {
        // Other items move on at once, even when the status item was detached in the middle of
        // its groups: waiting for group 0 there would hold the rotation on one item for good.
        queue(item, statusGroupCounter, source);
        return position + 1;
    }
    statusGroupCounter = statusGroupCounter >= LastStatusGroup ? 0 : statusGroupCounter + 1;
    queue(item, statusGroupCounter, source);
    // The status item keeps its place until it has asked for group 0.
    return statusGroupCounter == 0 ? position + 1 : position;
}

void RefreshTimer::queue(OperationItem *item, int value, Source source)
{
    if (commandStack == nullptr || commandTable == nullptr)
        return;
    const int id = item->spezifier();
    if (id < 0 || static_cast<std::size_t>(id) >= commandTable->size())
        return;
    BusinessLogic::Command *command = (*commandTable)[static_cast<std::size_t>(id)];
    // Without a command nothing would answer, and the item would wait for good.
    if (command == nullptr)
        return;
    const BusinessLogic::Ticket ticket = commandStack->pushPoll(command, value, displayTraffic);
    QMutexLocker lock(&pendingMutex);
    pendingItems.push_back({ticket, item, tickCount, source, value});
}

} // namespace GUI
