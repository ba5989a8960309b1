#include "service/ExitStop.h"

#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "recorder/ProcessSample.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

ExitStop::ExitStop(PumpCore &pumpCore, const ProgramRunner &programRunner, QObject *parent)
    : QObject(parent)
    , core(pumpCore)
    , runner(programRunner)
{
    using Id = BusinessLogic::CommandSpezifier;
    connect(&core, &PumpCore::answered, this, [this](const Answer &answer) {
        if (!answer.accepted())
            return;
        const auto id = static_cast<Id>(answer.commandId);
        if (id == Id::Start || id == Id::Prime)
            moving = true;
        else if (id == Id::Stop)
            moving = false;
    });
    // A dose that ended by itself, or a stop at the keypad: what moves after it is not ours. A
    // paused run still is; an unknown state (the link lost) may still be.
    connect(&core, &PumpCore::sampled, this, [this](const ProcessSample &sample) {
        if (sample.runState == ProcessSample::RunState::Stopped)
            moving = false;
    });
}

bool ExitStop::needed() const
{
    return moving || runner.status().active();
}

bool ExitStop::stopPump(PumpCore &core, int boundMs)
{
    using BusinessLogic::Lane;
    // Nothing but the Stop from here on, so that it is the last command the pump gets (a program
    // that ends reads the pump's count after it, which moves nothing).
    core.refresher().noCyclicDataUpdate(true);
    core.stack().removeLane(Lane::Poll);
    QEventLoop wait;
    bool taken = false;
    PumpCore::Ticket mine = 0;
    const int stopId = BusinessLogic::toInt(BusinessLogic::CommandSpezifier::Stop);
    QObject::connect(&core, &PumpCore::answered, &wait, [&](const Answer &answer) {
        if (answer.commandId == stopId && answer.accepted()) {
            taken = true;
            wait.quit();
        } else if (answer.ticket == mine) {
            mine = 0; // silent or refused: again at the next turn
        }
    });
    QObject::connect(&core.stack(), &BusinessLogic::CommandStack::entriesCleared, &wait,
                     [&](const std::vector<PumpCore::Ticket> &tickets) {
                         if (std::find(tickets.begin(), tickets.end(), mine) != tickets.end())
                             mine = 0;
                     });
    QElapsedTimer clock;
    clock.start();
    QTimer turn;
    const auto attempt = [&] {
        if (clock.elapsed() >= boundMs) {
            wait.quit();
            return;
        }
        if (!core.link().portOpen)
            core.link().reopen();
        if (core.link().portOpen && mine == 0)
            mine = core.stop();
    };
    QObject::connect(&turn, &QTimer::timeout, &wait, attempt);
    turn.start(200);
    attempt();
    wait.exec();
    return taken;
}

bool ExitStop::awaitEnd(const ProgramRunner &runner, int boundMs)
{
    static_assert(EndMs > ProgramRunner::FinalCountMs, "the count has a bound of its own");
    if (!runner.status().active())
        return true;
    QEventLoop wait;
    QObject::connect(&runner, &ProgramRunner::ended, &wait, &QEventLoop::quit);
    QTimer::singleShot(boundMs, &wait, &QEventLoop::quit);
    wait.exec();
    return !runner.status().active();
}
