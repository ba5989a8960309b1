#pragma once

#include "Faults.h"
#include "PumpConfig.h"

#include <string>

namespace fluxosim {

struct ServerOptions
{
    PumpConfig pump;
    Faults faults;
    int baud = 9600;      // line time per byte: 10 bits (8N1) at this rate, both directions
    int turnaroundMs = 2; // from a complete frame to the first answer byte
    bool fast = false;    // no line time (the turnaround still applies)
    int speed = 1;        // the pump's clock runs this many times faster; the line's does not
    std::string linkPath; // symlink kept pointing at the current device, removed on stop
};

} // namespace fluxosim
