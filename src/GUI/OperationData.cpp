#include "GUI/OperationData.h"

#include "BusinessLogic/CommandSpezifier.h"

namespace GUI {

void OperationData::update(Answer *) {}

int OperationData::spezifier()
{
    return BusinessLogic::toInt(BusinessLogic::CommandSpezifier::Base);
}

} // namespace GUI
