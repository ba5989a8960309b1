#pragma once

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"

#include <QtGlobal>

#include <memory>
#include <string>

// The window started against a fast simulated pump that answers at pumpAddress, talking to
// windowAddress; its clock runs speed times faster. False, with the simulator's reason as a
// warning, when the pump or its line cannot be had.
inline bool startWindowOnSimulator(std::unique_ptr<fluxosim::PumpServer> &pump,
                                   std::unique_ptr<WindowRig> &rig, int pumpAddress = 1,
                                   int windowAddress = 1, int speed = 1)
{
    fluxosim::ServerOptions options;
    options.fast = true;
    options.speed = speed;
    options.pump.address = pumpAddress;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    std::string error;
    if (!pump->start(&error)) {
        qWarning("pump simulator: %s", error.c_str());
        return false;
    }
    InstanceSettings().setAddress(windowAddress);
    rig = std::make_unique<WindowRig>();
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    if (!rig->link.portOpen)
        return false;
    rig->window.startUp();
    rig->window.startUpdateTimer();
    return true;
}
