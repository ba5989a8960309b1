#include "BusinessLogic/Communicate/SetInvalidLRC.h"

#include "serial/Communication.h"

namespace BusinessLogic::Communicate {

SetInvalidLRC::SetInvalidLRC(Communication *communication)
    : LocalCommand(communication, CommandSpezifier::SetInvalidLRC)
{}

void SetInvalidLRC::execute()
{
    communication->invalidLrcMode = value != 0;
    communication->txCheckCorrect =
        !(communication->invalidLrcMode || communication->unusedLrcMode);
}

} // namespace BusinessLogic::Communicate
