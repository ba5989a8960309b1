#pragma once

#include <chrono>
#include <string>

// Small shared services of the benchmark programs: knobs from the environment, a monotonic
// clock in milliseconds, and the CPU time the calling thread has used.
class BenchEnv
{
public:
    using Clock = std::chrono::steady_clock;

    // The variable as a positive integer, or the fallback when it is unset or not one.
    static int positiveInt(const char *name, int fallback);
    static double msBetween(Clock::time_point from, Clock::time_point to);
    // User plus system CPU time of the calling thread, in milliseconds.
    static double threadCpuMs();
};
