#include "BusinessLogic/Communicate/SetUnusedLRC.h"

#include "serial/Communication.h"

namespace BusinessLogic::Communicate {

SetUnusedLRC::SetUnusedLRC(Communication *communication)
    : LocalCommand(communication, CommandSpezifier::SetUnusedLRC)
{}

void SetUnusedLRC::execute()
{
    communication->unusedLrcMode = value != 0;
    communication->txCheckCorrect =
        !(communication->unusedLrcMode || communication->invalidLrcMode);
}

} // namespace BusinessLogic::Communicate
