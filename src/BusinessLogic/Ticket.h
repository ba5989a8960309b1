#pragma once

#include <cstdint>

namespace BusinessLogic {

// Names one queued execution for good: the stack never hands out the same ticket twice, so an
// answer can only reach the entry that asked for it. 0 names nobody.
using Ticket = std::uint64_t;

} // namespace BusinessLogic
