#include "ui/PortTroubleTips.h"

#include "serial/CommDialogue.h"
#include "serial/Communication.h"

#include <QWidget>

QString PortTroubleTips::text(const Communication *link, const CommDialogue *list)
{
    if (link == nullptr)
        return {};
    // An open port on which a device chatters reaches no pump either.
    if (link->portOpen)
        return link->lineChattering ? Communication::chatterText() : QString();
    if (link->portProblem.cause == PortProblem::Cause::None && link->portName().isEmpty() &&
        list != nullptr && !list->wantedPort().isEmpty())
        return PortProblem::missing(PortProblem::systemLocation(list->wantedPort())).text();
    return link->portProblem.text();
}

void PortTroubleTips::show(const Communication *link, CommDialogue *list, QWidget *label)
{
    const QString now = text(link, list);
    if (label->toolTip() != now)
        label->setToolTip(now);
    if (list != nullptr && list->toolTip() != now)
        list->setToolTip(now);
}
