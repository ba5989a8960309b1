#pragma once

#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "PumpServer.h"
#include "WireTrace.h"
#include "serial/Communication.h"

#include <memory>
#include <string>
#include <vector>

// The program's core graph against the simulated pump on a real pseudo-terminal, paced at the
// line rate: the link, one object of every command, the logging stack and the command table,
// built in the program's order. The simulator's frames are traced with their times.
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
    std::unique_ptr<Communication> link;
    std::unique_ptr<BusinessLogic::CommandSet> commands;
    std::unique_ptr<BusinessLogic::LoggingCommandStack> stack;
    std::vector<BusinessLogic::Command *> table;
};
