#include "GUI/OperationItemStatus.h"

void OperationItemStatus::update(Answer *answer)
{
    itemText = answerText(answer);
    itemValue = readInteger(itemText.left(3));
    // A missing or non-digit group character means group 0, as the pump's own short answers do.
    int group = 0;
    if (itemText.size() > 4) {
        const char16_t c = itemText.at(4).unicode();
        if (c >= u'0' && c <= u'9')
            group = c - u'0';
    }
    // Digits 7-9 name no group: only seven words exist.
    if (group < GroupCount) {
        words[static_cast<std::size_t>(group)] = itemValue;
        heardGroups[static_cast<std::size_t>(group)] = true;
    }
    heard = true;
}

int OperationItemStatus::statusWord(int group) const
{
    if (group < 0 || group >= GroupCount)
        return 0;
    return words[static_cast<std::size_t>(group)];
}

bool OperationItemStatus::groupKnown(int group) const
{
    return group >= 0 && group < GroupCount && heardGroups[static_cast<std::size_t>(group)];
}
