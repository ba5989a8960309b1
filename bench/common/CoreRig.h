#pragma once

#include "PumpServer.h"
#include "WireTrace.h"
#include "pumpcore/PumpCore.h"

#include <memory>
#include <string>
#include <vector>

// The pump core (not polling: the benchmarks tick it themselves) against the simulated pump on
// a real pseudo-terminal, paced at the line rate. The simulator's frames are traced with their
// times.
class CoreRig
{
public:
    static constexpr int Address = 1;
    static constexpr int Baud = 9600;
    static constexpr int TurnaroundMs = 2;

    CoreRig();
    ~CoreRig();

    // Starts the simulator and opens the link on it; false with a reason when either fails.
    bool start(std::string *error);

    BusinessLogic::Command *command(BusinessLogic::CommandSpezifier id) const;
    double wireMs(const WireTrace::Tally &tally) const { return tally.wireMs(Baud, TurnaroundMs); }

    WireTrace trace;
    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<PumpCore> core;
    Communication *link = nullptr;
    BusinessLogic::LoggingCommandStack *stack = nullptr;
    std::vector<BusinessLogic::Command *> table;
};
