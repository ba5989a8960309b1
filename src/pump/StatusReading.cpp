#include "pump/StatusReading.h"

#include "GUI/OperationItemStatus.h"
#include "pump/PumpItems.h"

#include <cstddef>

namespace Pump {

static_assert(StatusReading::GroupCount == OperationItemStatus::GroupCount,
              "one word per status group the item keeps");

StatusReading::StatusReading(const PumpItems &items)
    : StatusReading(items.get<OperationItemStatus>())
{}

StatusReading::StatusReading(const OperationItemStatus &status)
{
    for (int group = 0; group < GroupCount; ++group) {
        const auto index = static_cast<std::size_t>(group);
        words[index] = status.statusWord(group);
        liveGroups[index] = status.groupCurrent(group);
    }
}

StatusReading StatusReading::of(const Answer &answer)
{
    OperationItemStatus status;
    // Decoded as the status item decodes it, so that both agree on which group an answer names.
    if (answer.accepted() &&
        answer.commandId == BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetPumpStatus)) {
        Answer copy = answer;
        status.update(&copy);
    }
    return StatusReading(status);
}

bool StatusReading::live(int group) const
{
    return group >= 0 && group < GroupCount && liveGroups[static_cast<std::size_t>(group)];
}

int StatusReading::word(int group) const
{
    return group >= 0 && group < GroupCount ? words[static_cast<std::size_t>(group)] : 0;
}

} // namespace Pump
