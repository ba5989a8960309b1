#pragma once

#include "BusinessLogic/CommandSpezifier.h"

#include <memory>
#include <vector>

namespace GUI {

class OperationItem;

// One operation item of every kind the window polls, for programs without the window: they decode
// the pump's answers exactly as the window's items do.
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

private:
    std::vector<OperationItem *> items;
};

} // namespace GUI
