#pragma once

#include "GUI/OperationItem.h"

#include <memory>
#include <vector>

// One operation item of every polled kind, as the window holds them, for a refresher of their
// own.
class PolledItems
{
public:
    PolledItems();

    std::vector<GUI::OperationItem *> all() const;

private:
    std::vector<std::unique_ptr<GUI::OperationItem>> owned;
};
