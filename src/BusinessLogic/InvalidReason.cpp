#include "BusinessLogic/InvalidReason.h"

namespace BusinessLogic {

void registerInvalidReasonMetaTypes()
{
    qRegisterMetaType<BusinessLogic::InvalidReason>("BusinessLogic::InvalidReason");
    qRegisterMetaType<std::vector<BusinessLogic::InvalidReason>>(
        "std::vector<BusinessLogic::InvalidReason>");
    qRegisterMetaType<std::vector<int>>("std::vector<int>");
}

} // namespace BusinessLogic
