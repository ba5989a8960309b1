#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "GUI/OperationItem.h"

#include <array>

// Pump status, read group by group: the answer is the three-digit flag value of a group, a blank
// and the group digit ("012 3"; "0 3" when the pump was silent). The item keeps one status word
// per group 0-6, and an answer changes only the word of its own group.
class OperationItemStatus : public GUI::OperationItem
{
public:
    static constexpr int GroupCount = 7;

    void update(Answer *answer) override;
    int spezifier() override
    {
        return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetPumpStatus);
    }

    // The last flag value of that group; 0 for a group outside 0-6.
    int statusWord(int group) const;
    // True once an answer for that group came in.
    bool groupKnown(int group) const;
    // True when the last exchange for that group was accepted: its word is a live reading.
    bool groupCurrent(int group) const;
    // The word of a group that is known and current; 0 (nothing lit) otherwise.
    int liveWord(int group) const;
    void markStale(int group) override;

private:
    std::array<int, GroupCount> words{};
    std::array<bool, GroupCount> heardGroups{};
    std::array<bool, GroupCount> staleGroups{};
};
