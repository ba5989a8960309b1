#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/Refresher.h"

#include <array>
#include <vector>

namespace GUI {
class OperationItem;
} // namespace GUI

namespace Pump {

using GUI::Refresher;

using GUI::OperationItem;

// Which of the window's operation items are polled, how often, and in which order they are
// attached. An item is named by the command id it takes answers for, which is unique per item
// class. The status item appears twice: on every tick (group 1) and in the fast rotation (all
// groups); the contrast item twice in the slow rotation.
class AttachTable
{
public:
    struct Row
    {
        BusinessLogic::CommandSpezifier item;
        Refresher::RefreshClass refreshClass;
        // Detaching calls detach() for every row but one: the status item's second row, since
        // one call already removes both of its entries.
        bool detachHere;
    };

    static constexpr std::size_t RowCount = 28;

    static const std::array<Row, RowCount> &rows();

    // Attaches the given items row by row; rows whose item is not among them are skipped.
    static void attachAll(Refresher &refresher, const std::vector<OperationItem *> &items);
    // Detaches them in the same order (the contrast item twice, the status item once).
    static void detachAll(Refresher &refresher, const std::vector<OperationItem *> &items);

    // The item among `items` that takes answers for that command id, or nullptr.
    static OperationItem *find(const std::vector<OperationItem *> &items,
                               BusinessLogic::CommandSpezifier id);
};

} // namespace Pump
