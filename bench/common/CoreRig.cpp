#include "CoreRig.h"

#include <QString>

CoreRig::CoreRig()
{
    fluxosim::ServerOptions options;
    options.pump.address = Address;
    options.baud = Baud;
    options.turnaroundMs = TurnaroundMs;
    options.fast = false;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    pump->setListener([this](const fluxosim::LogEntry &entry) { trace.record(entry); });
}

CoreRig::~CoreRig()
{
    // Reverse order of construction: nothing may point at the link once it is gone.
    stack.reset();
    commands.reset();
    link.reset();
    if (pump)
        pump->stop();
}

bool CoreRig::start(std::string *error)
{
    if (!pump->start(error))
        return false;
    link = std::make_unique<Communication>();
    link->setCommPortName(QString::fromStdString(pump->devicePath()));
    if (!link->portOpen) {
        *error = "cannot open " + pump->devicePath() + ": " + link->portError.toStdString();
        return false;
    }
    link->setAddress(Address);
    commands = std::make_unique<BusinessLogic::CommandSet>(link.get());
    stack = std::make_unique<BusinessLogic::LoggingCommandStack>();
    table = commands->table();
    return true;
}

BusinessLogic::Command *CoreRig::command(BusinessLogic::CommandSpezifier id) const
{
    return table[static_cast<std::size_t>(BusinessLogic::toInt(id))];
}
