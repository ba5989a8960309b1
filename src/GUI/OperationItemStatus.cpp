#include "GUI/OperationItemStatus.h"

void OperationItemStatus::update(Answer *answer)
{
    itemText = answerText(answer);
    // The group is tagged on after the last blank, however long the flags are: the silent
    // pump's text is "0", so its answer reads "0 4".
    const int blank = itemText.lastIndexOf(QLatin1Char(' '));
    itemValue = readInteger(itemText.left(blank >= 0 ? blank : itemText.size()).left(3));
    const QString group = blank >= 0 ? itemText.mid(blank + 1) : QString();
    // An answer without a readable group names none: no word changes. Digits 7-9 name no group
    // either: only seven words exist.
    if (group.size() != 1 || group.at(0) < QLatin1Char('0') ||
        group.at(0) >= QLatin1Char('0' + GroupCount))
        return;
    const auto index = static_cast<std::size_t>(group.at(0).unicode() - u'0');
    words[index] = itemValue;
    heardGroups[index] = true;
    staleGroups[index] = false;
    heard = true;
    fresh = true;
}

void OperationItemStatus::markStale(int group)
{
    if (group >= 0 && group < GroupCount)
        staleGroups[static_cast<std::size_t>(group)] = true;
    fresh = false;
}

bool OperationItemStatus::groupCurrent(int group) const
{
    return groupKnown(group) && !staleGroups[static_cast<std::size_t>(group)];
}

int OperationItemStatus::liveWord(int group) const
{
    return groupCurrent(group) ? words[static_cast<std::size_t>(group)] : 0;
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
