#pragma once

#include "BusinessLogic/Answer.h"

namespace GUI {

// Root of the operation items: something that takes the answers of one query.
class OperationData
{
public:
    virtual ~OperationData() = default;

    // Decodes one answer; the root ignores it.
    virtual void update(Answer *answer);
    // The command id whose answers this takes; the root answers the id of the command base.
    virtual int spezifier();
};

} // namespace GUI
