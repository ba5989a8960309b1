#pragma once

#include "BusinessLogic/CommandSpezifier.h"
#include "LogEntry.h"
#include "PumpServer.h"
#include "StallProbe.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class Communication;
class PumpCore;
class QLabel;
class mainForm;

namespace BusinessLogic {
class Command;
class CommandSet;
class LoggingCommandStack;
} // namespace BusinessLogic

namespace GUI {
class RefreshTimer;
}

// The program's object graph in this process, built in the program's order, talking to a
// simulated pump on a pseudo-terminal through the path the pump keeps pointing at its device.
// The window's stored port and address are preset, so it comes up polling as it does in a lab.
class WindowRig
{
public:
    struct LinkState
    {
        std::int64_t ms = 0; // on the pump's clock
        QString text;
        QString toolTip;
    };

    explicit WindowRig(fluxosim::ServerOptions pumpOptions);
    ~WindowRig();

    // Starts the pump, presets this copy's settings and builds the window; false with a reason.
    bool start(QString *error);

    mainForm &window() { return *form; }
    fluxosim::PumpServer &pump() { return *server; }
    Communication &link() { return core->link(); }
    BusinessLogic::LoggingCommandStack &stack() { return core->stack(); }
    StallProbe &probe() { return *stallProbe; }
    // The filed command object of that id, as the window pushes it.
    BusinessLogic::Command *command(BusinessLogic::CommandSpezifier id) const;
    QLabel *connectionLabel() const { return label; }

    // The pump's clock, shared by its log and the link-state record.
    std::int64_t now() const { return server->elapsedMs(); }
    // A fault command; returns the time it was applied on the pump's clock.
    std::int64_t fault(const std::string &command);
    // The same, applied by the pump's own thread right after it logs an entry that `when`
    // accepts: to hit a moment the test cannot see coming (one shot).
    void faultWhen(std::function<bool(const fluxosim::LogEntry &)> when, std::string command);

    // Everything the pump logged since the last call (its own log is bounded).
    std::vector<fluxosim::LogEntry> takeLog();
    std::vector<fluxosim::LogEntry> logSoFar() const;
    // Every change of the link-state label, with its tool tip.
    std::vector<LinkState> linkStates() const { return states; }

private:
    void watchLinkState();

    QTemporaryDir dir;
    fluxosim::ServerOptions options;
    std::unique_ptr<fluxosim::PumpServer> server;
    mutable std::mutex logMutex;
    std::vector<fluxosim::LogEntry> entries;
    std::function<bool(const fluxosim::LogEntry &)> trigger;
    std::string triggered;

    std::unique_ptr<PumpCore> core;
    std::unique_ptr<ProgramRunner> runner;
    std::unique_ptr<mainForm> form;
    std::unique_ptr<StallProbe> stallProbe;
    QLabel *label = nullptr;
    std::vector<LinkState> states;
};
