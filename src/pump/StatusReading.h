#pragma once

#include <array>

struct Answer;
class OperationItemStatus;

namespace Pump {

class PumpItems;

// The pump's status words as a front-end reads them: one word per group, and whether that word
// is a live reading (answered, and its group's last exchange accepted). A copy taken when it is
// made: reading it never touches the items, and it does not follow them.
class StatusReading
{
public:
    static constexpr int GroupCount = 7;

    // What the core's status item holds now.
    explicit StatusReading(const PumpItems &items);
    // One answer to a status query on its own: the group it names is live, no other. Any other
    // answer, or one the pump did not give, reads as nothing live.
    static StatusReading of(const Answer &answer);

    bool live(int group) const;
    // The group's last word, live or not; 0 for a group outside 0-6 or never answered.
    int word(int group) const;

private:
    explicit StatusReading(const OperationItemStatus &status);

    std::array<int, GroupCount> words{};
    std::array<bool, GroupCount> liveGroups{};
};

} // namespace Pump
