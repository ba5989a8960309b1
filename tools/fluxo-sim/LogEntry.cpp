#include "LogEntry.h"

#include "SimProtocol.h"

namespace fluxosim {

std::string LogEntry::text() const
{
    switch (kind) {
    case Kind::Received:
        return "rx " + escaped(bytes) + "  " + verdict;
    case Kind::Sent:
        return "tx " + escaped(bytes) + (verdict.empty() ? "" : "  " + verdict);
    case Kind::Device:
        return "-- device " + verdict;
    case Kind::Event:
        break;
    }
    return "-- " + verdict;
}

} // namespace fluxosim
