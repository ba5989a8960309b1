#pragma once

#include "BusinessLogic/Command.h"

namespace BusinessLogic {

// The link's receive state as four characters "1"/"0": ACK, NAK, no usable answer, address
// confirmation seen. Sends nothing and leaves the link's answer alone.
class GetCommRxState : public Command
{
public:
    explicit GetCommRxState(Communication *communication);

    std::string answer() override;
    CommandSpezifier spezifier() override;
    void execute() override;

    std::string state;
};

} // namespace BusinessLogic
