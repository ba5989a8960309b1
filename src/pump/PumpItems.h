#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace Pump {

using GUI::OperationItem;

// One operation item of every kind that is polled: the pump core's one set, which the window,
// the bridge and the command-line tool all read.
class PumpItems
{
public:
    PumpItems();
    ~PumpItems();

    PumpItems(const PumpItems &) = delete;
    PumpItems &operator=(const PumpItems &) = delete;

    const std::vector<OperationItem *> &all() const { return items; }
    // The item that takes the answers of that query; null when none does.
    OperationItem *find(BusinessLogic::CommandSpezifier query) const;
    // Every value heard so far is no longer live (each status group too), until answered again.
    void markAllStale();
    // The one item of that class (every class is in the set once).
    template<class Item>
    Item &get() const
    {
        for (OperationItem *item : items) {
            if (auto *typed = dynamic_cast<Item *>(item))
                return *typed;
        }
        std::abort();
    }

private:
    std::vector<std::unique_ptr<OperationItem>> owned;
    // The same items, in the same order, for the readers.
    std::vector<OperationItem *> items;
};

} // namespace Pump
