#pragma once

#include "BusinessLogic/CommandSet.h"
#include "BusinessLogic/CommandStack.h"
#include "GUI/PumpItems.h"
#include "GUI/RefreshTimer.h"
#include "recorder/ProcessSampler.h"
#include "remote/PumpBridge.h"
#include "serial/Communication.h"

#include <QObject>
#include <QTimer>

// A pump line without a window: the window's link, command stack, poller and items, polled
// throughout, with one sample of the process values after every refresh tick. A lost port is
// tried again every few seconds.
class HeadlessPump : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReopenMs = 3000;

    HeadlessPump(const QString &port, int address, QObject *parent = nullptr);
    ~HeadlessPump() override;

    bool portOpen() const { return link.portOpen; }
    PortProblem problem() const { return link.portProblem; }
    PumpBridge::Pump parts();
    ProcessSampler &sampler() { return *sampling; }
    Communication &communication() { return link; }

private:
    Communication link;
    BusinessLogic::CommandSet commandSet{&link};
    std::vector<BusinessLogic::Command *> table;
    BusinessLogic::CommandStack stack;
    GUI::PumpItems items;
    std::unique_ptr<GUI::RefreshTimer> refresher;
    ProcessSampler *sampling = nullptr;
    QTimer reopenTimer;
    bool roundSampled = false; // this tick's round was sampled when it completed
};
