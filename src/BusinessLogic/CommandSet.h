#pragma once

#include "BusinessLogic/Command.h"

#include <memory>
#include <vector>

namespace BusinessLogic {

// One object of every pump command, created in a fixed order with the shared link and destroyed
// in the reverse order, so no command outlives the link it points to.
class CommandSet
{
public:
    explicit CommandSet(Communication *communication);
    ~CommandSet();

    CommandSet(const CommandSet &) = delete;
    CommandSet &operator=(const CommandSet &) = delete;

    // The commands in their order of construction.
    const std::vector<Command *> &commands() const { return ordered; }

    // A command table of CommandTableSize entries indexed by command id; 44 and 64 stay null.
    std::vector<Command *> table() const;

private:
    std::vector<Command *> ordered;
};

} // namespace BusinessLogic
