#include "BusinessLogic/GetCommRxState.h"

#include "serial/Communication.h"

namespace BusinessLogic {

GetCommRxState::GetCommRxState(Communication *communication)
    : Command(communication)
{}

std::string GetCommRxState::answer()
{
    return state;
}

CommandSpezifier GetCommRxState::spezifier()
{
    return CommandSpezifier::GetCommRxState;
}

void GetCommRxState::execute()
{
    const auto flag = [](bool set) {
        return set ? '1' : '0';
    };
    state = {flag(communication->rxAck), flag(communication->rxNak), flag(communication->rxNoFrame),
             flag(communication->rxAddressOnly)};
}

} // namespace BusinessLogic
