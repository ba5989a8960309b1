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
    core.reset();
    if (pump)
        pump->stop();
}

bool CoreRig::start(std::string *error)
{
    if (!pump->start(error))
        return false;
    core = std::make_unique<PumpCore>(PumpCore::Options{false});
    link = &core->link();
    link->setCommPortName(QString::fromStdString(pump->devicePath()));
    if (!link->portOpen) {
        *error = "cannot open " + pump->devicePath() + ": " + link->portError.toStdString();
        return false;
    }
    link->setAddress(Address);
    stack = &core->stack();
    table = core->table();
    return true;
}

BusinessLogic::Command *CoreRig::command(BusinessLogic::CommandSpezifier id) const
{
    return table[static_cast<std::size_t>(BusinessLogic::toInt(id))];
}
