#include "ui/AddressFollow.h"

#include "BusinessLogic/Answer.h"
#include "GUI/OperationItem.h"
#include "pumpcore/PumpCore.h"
#include "ui/WidgetWrite.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>

AddressFollow::AddressFollow(const Parts &p, QObject *parent)
    : QObject(parent)
    , parts(p)
{
    // Connected after the window's own listener, so the feedback written here is not cleared
    // by the update that follows the acknowledgement.
    if (parts.pump != nullptr)
        connect(parts.pump, &PumpCore::answered, this, &AddressFollow::heard);
}

void AddressFollow::pumpTook(int address)
{
    if (parts.pump == nullptr)
        return;
    if (parts.commAddress != nullptr && address >= 0 && address < parts.commAddress->count())
        WidgetWrite::setIndex(parts.commAddress, address);
    emit talkTo(address);
    followed = address;
    asked = parts.pump->submit(BusinessLogic::Lane::Operator,
                               BusinessLogic::CommandSpezifier::GetPumpAddress, 0);
}

void AddressFollow::heard(const Answer &answer)
{
    if (asked == 0 || answer.ticket != asked)
        return;
    asked = 0;
    // Only the pump's own word at the new address shows that the window found it there.
    bool number = false;
    const int reported =
        GUI::OperationItem::readInteger(GUI::OperationItem::answerText(&answer), &number);
    if (!answer.accepted() || !number || reported != followed || parts.feedback == nullptr)
        return;
    parts.feedback->setText(
        QCoreApplication::translate("mainScreen", "Pump address is now %1; DOSETTA follows it")
            .arg(followed));
}
