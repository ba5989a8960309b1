#pragma once

#include "Faults.h"

#include <string>

namespace fluxosim {

// The operator's fault commands, one per line, the same on stdin, in --fault and for tests.
struct ControlResult
{
    bool ok = true;
    std::string message;    // the reply for the operator (error text, state or help)
    int hangupSeconds = -1; // >= 0: the server is asked to hang up for that long
    bool changed = false;   // a fault was set or cleared, or a hangup asked for
    int key = -1;           // >= 0: a key pressed at the pump: 0 stop, 1 start, 2 prime, 3 pause
};

// Parses one line and applies it to faults. Empty lines and lines starting with '#' do nothing.
ControlResult applyControlCommand(const std::string &line, Faults &faults);

// One line per fault currently set, or "no faults".
std::string describeFaults(const Faults &faults);

// The grammar, as shown by --help and by the command "help".
const char *controlCommandHelp();

} // namespace fluxosim
