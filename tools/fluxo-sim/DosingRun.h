#pragma once

#include <cstdint>

namespace fluxosim {

// The time line of one run of the pump, as a pure function of the clock: doses separated by
// breaks, with pauses that freeze it. Volumes are thousandths of a ml, rates thousandths of a
// ml per minute, times milliseconds of run time (pauses do not count, breaks do).
class DosingRun
{
public:
    struct Plan
    {
        std::int64_t rate = 0;       // flow while a dose runs without a set duration
        std::int64_t doseMs = 0;     // length of one dose; 0 = until stopped
        std::int64_t doseVolume = 0; // volume of one dose when doseMs > 0
        std::int64_t breakMs = 0;    // between two doses
        std::int64_t cycles = 1;     // number of doses; 0 = endless
    };
    enum class State { Idle, Dosing, Break, Paused, Stopped };

    void start(const Plan &plan, std::int64_t nowMs);
    void stop(std::int64_t nowMs);
    bool pause(std::int64_t nowMs);  // false unless dosing or in a break
    bool resume(std::int64_t nowMs); // false unless paused

    State state(std::int64_t nowMs) const;
    bool inProgress(std::int64_t nowMs) const; // dosing, in a break or paused
    std::int64_t elapsedMs(std::int64_t nowMs) const;
    std::int64_t volume(std::int64_t nowMs) const;

private:
    enum class Phase { Idle, Running, Paused, Stopped };

    std::int64_t endMs() const; // run time at which the last dose ends, -1 = never
    std::int64_t runMs(std::int64_t nowMs) const;

    Plan plan;
    Phase phase = Phase::Idle;
    std::int64_t accumulatedMs = 0; // run time before the last resume
    std::int64_t resumedAtMs = 0;
};

} // namespace fluxosim
