#include "GUI/OperationItemTimeElapsed.h"

void OperationItemTimeElapsed::update(Answer *answer)
{
    // A short answer gives a short text; the display reads missing pairs as 0.
    itemText = answerText(answer).left(TextLength);
    heard = true;
    fresh = true;
}

qint64 OperationItemTimeElapsed::milliseconds(const QString &text)
{
    const auto pair = [&text](int at) {
        return qint64(text.mid(at, 2).toInt());
    };
    return ((pair(0) * 60 + pair(2)) * 60 + pair(4)) * 1000 + pair(6) * 10;
}
