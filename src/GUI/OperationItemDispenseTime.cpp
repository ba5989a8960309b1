#include "GUI/OperationItemDispenseTime.h"

void OperationItemDispenseTime::update(Answer *answer)
{
    const QString received = answerText(answer);
    itemText = received.left(TextLength);
    // Each pair is at most two characters, so the sum stays far inside int; a pair that is not
    // a number (or missing) counts as 0.
    const int hours = readInteger(received.mid(0, 2));
    const int minutes = readInteger(received.mid(2, 2));
    const int seconds = readInteger(received.mid(4, 2));
    itemValue = hours * 3600 + minutes * 60 + seconds;
    heard = true;
    fresh = true;
}
