#include "GUI/OperationItemTimeElapsed.h"

void OperationItemTimeElapsed::update(Answer *answer)
{
    // A short answer gives a short text; the display reads missing pairs as 0.
    itemText = answerText(answer).left(TextLength);
    heard = true;
    fresh = true;
}
