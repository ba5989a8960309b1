#pragma once

#include "GUI/Refresher.h"

#include <utility>
#include <vector>

// A refresher that only records the attach and detach calls it receives, in order.
class RecordingRefresher : public GUI::Refresher
{
public:
    struct Call
    {
        bool attach = true;
        GUI::OperationItem *item = nullptr;
        int refreshClass = -1; // -1 for detach
    };

    void attach(GUI::OperationItem *item, RefreshClass refreshClass) override
    {
        calls.push_back({true, item, refreshClass});
    }
    void detach(GUI::OperationItem *item) override { calls.push_back({false, item, -1}); }
    void notify(Answer) override {}
    void displayProtocolAnswer(bool) override {}
    void noCyclicDataUpdate(bool) override {}

    std::vector<Call> calls;
};
