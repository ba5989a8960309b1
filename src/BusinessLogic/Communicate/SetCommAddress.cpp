#include "BusinessLogic/Communicate/SetCommAddress.h"

#include "serial/Communication.h"

namespace BusinessLogic::Communicate {

SetCommAddress::SetCommAddress(Communication *communication)
    : LocalCommand(communication, CommandSpezifier::SetCommAddress)
{}

void SetCommAddress::execute()
{
    communication->setAddress(static_cast<int>(value));
}

} // namespace BusinessLogic::Communicate
