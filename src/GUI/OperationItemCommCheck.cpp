#include "GUI/OperationItemCommCheck.h"

void OperationItemCommCheck::update(Answer *answer)
{
    const QString received = answerText(answer);
    bool ok = false;
    const int number = readInteger(received, &ok);
    if (!ok) {
        setValue(-1);
        return;
    }
    itemValue = number;
    itemText = received;
    heard = true;
    fresh = true;
}

void OperationItemCommCheck::setValue(int value)
{
    itemValue = value;
    itemText = QString::number(value);
    heard = true;
    fresh = true;
}
