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
    if (commandStack != nullptr)
        connect(commandStack, &BusinessLogic::CommandStack::sendAnswer, this, &RefreshTimer::notify,
                Qt::DirectConnection);
    tickConnection = connect(refreshTimer, &QTimer::timeout, this, &RefreshTimer::execute);
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
    // Pending entries for the item stay: their answers must still be consumed in order.
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
    return {pendingItems.begin(), pendingItems.end()};
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
    QMutexLocker lock(&pendingMutex);
    if (pendingItems.empty())
        return;
    OperationItem *item = pendingItems.front();
    // Matched by position and id: an answer to anything else consumes the entry and updates
    // nothing, so a misaligned queue never writes a value into the wrong item.
    pendingItems.pop_front();
    if (item->spezifier() == data.commandId)
        item->update(&data);
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
    for (OperationItem *item : everyTickItems)
        queue(item, 1);
    if (!fastItems.empty()) {
        fastPosition = rotationStep(fastItems, fastPosition, true);
        fastPosition = rotationStep(fastItems, fastPosition, true);
    }
    if (!slowItems.empty())
        slowPosition = rotationStep(slowItems, slowPosition, false);
    listMutex.unlock();
}

std::size_t RefreshTimer::rotationStep(const std::vector<OperationItem *> &items,
                                       std::size_t position, bool advanceStatus)
{
    if (position >= items.size())
        return 0; // the wrap step queues nothing
    OperationItem *item = items[position];
    if (!advanceStatus || !isStatusItem(item)) {
        // Other items move on at once, even when the status item was detached in the middle of
        // its groups: waiting for group 0 there would hold the rotation on one item for good.
        queue(item, statusGroupCounter);
        return position + 1;
    }
    statusGroupCounter = statusGroupCounter >= LastStatusGroup ? 0 : statusGroupCounter + 1;
    queue(item, statusGroupCounter);
    // The status item keeps its place until it has asked for group 0.
    return statusGroupCounter == 0 ? position + 1 : position;
}

void RefreshTimer::queue(OperationItem *item, int value)
{
    if (commandStack == nullptr || commandTable == nullptr)
        return;
    const int id = item->spezifier();
    if (id < 0 || static_cast<std::size_t>(id) >= commandTable->size())
        return;
    BusinessLogic::Command *command = (*commandTable)[static_cast<std::size_t>(id)];
    // Without a command nothing would answer, and a pending entry without an answer would shift
    // every later answer onto the wrong entry.
    if (command == nullptr)
        return;
    commandStack->push(command, value, displayTraffic);
    QMutexLocker lock(&pendingMutex);
    pendingItems.push_back(item);
}

} // namespace GUI
