#include "DosingRun.h"

#include <algorithm>

namespace fluxosim {

void DosingRun::start(const Plan &newPlan, std::int64_t nowMs)
{
    plan = newPlan;
    if (plan.doseMs <= 0)
        plan.cycles = 1; // an endless dose has no second cycle
    phase = Phase::Running;
    accumulatedMs = 0;
    resumedAtMs = nowMs;
}

void DosingRun::stop(std::int64_t nowMs)
{
    if (phase == Phase::Idle)
        return;
    accumulatedMs = runMs(nowMs);
    phase = Phase::Stopped;
}

bool DosingRun::pause(std::int64_t nowMs)
{
    if (state(nowMs) != State::Dosing && state(nowMs) != State::Break)
        return false;
    accumulatedMs = runMs(nowMs);
    phase = Phase::Paused;
    return true;
}

bool DosingRun::resume(std::int64_t nowMs)
{
    if (phase != Phase::Paused)
        return false;
    phase = Phase::Running;
    resumedAtMs = nowMs;
    return true;
}

DosingRun::State DosingRun::state(std::int64_t nowMs) const
{
    switch (phase) {
    case Phase::Idle:
        return State::Idle;
    case Phase::Stopped:
        return State::Stopped;
    case Phase::Paused:
        return State::Paused;
    case Phase::Running:
        break;
    }
    const std::int64_t t = runMs(nowMs);
    const std::int64_t end = endMs();
    if (end >= 0 && t >= end)
        return State::Stopped;
    if (plan.doseMs <= 0)
        return State::Dosing;
    return t % (plan.doseMs + plan.breakMs) < plan.doseMs ? State::Dosing : State::Break;
}

bool DosingRun::inProgress(std::int64_t nowMs) const
{
    const State s = state(nowMs);
    return s == State::Dosing || s == State::Break || s == State::Paused;
}

std::int64_t DosingRun::elapsedMs(std::int64_t nowMs) const
{
    return phase == Phase::Idle ? 0 : runMs(nowMs);
}

std::int64_t DosingRun::volume(std::int64_t nowMs) const
{
    if (phase == Phase::Idle)
        return 0;
    const std::int64_t t = runMs(nowMs);
    if (plan.doseMs <= 0)
        return plan.rate * t / 60000;
    const std::int64_t period = plan.doseMs + plan.breakMs;
    const std::int64_t within = std::min(t % period, plan.doseMs);
    const std::int64_t full = t / period;
    if (plan.cycles > 0 && full >= plan.cycles)
        return plan.cycles * plan.doseVolume;
    return full * plan.doseVolume + plan.doseVolume * within / plan.doseMs;
}

std::int64_t DosingRun::endMs() const
{
    if (plan.doseMs <= 0 || plan.cycles <= 0)
        return -1;
    return plan.cycles * plan.doseMs + (plan.cycles - 1) * plan.breakMs;
}

std::int64_t DosingRun::runMs(std::int64_t nowMs) const
{
    std::int64_t t = accumulatedMs;
    if (phase == Phase::Running)
        t += std::max<std::int64_t>(0, nowMs - resumedAtMs);
    const std::int64_t end = endMs();
    return end >= 0 ? std::min(t, end) : t;
}

} // namespace fluxosim
