#include "MicroTimer.h"

#include "SampleStats.h"

#include <chrono>
#include <vector>

double MicroTimer::nsPerCall(const std::function<void()> &call)
{
    using Clock = std::chrono::steady_clock;
    // Grow the batch until it lasts about 20 ms, then time 15 such batches.
    long batch = 1;
    for (;;) {
        const auto a = Clock::now();
        for (long i = 0; i < batch; ++i)
            call();
        const auto elapsed = Clock::now() - a;
        if (elapsed > std::chrono::milliseconds(20) || batch > (1L << 28))
            break;
        batch *= 2;
    }
    std::vector<double> perCall;
    for (int round = 0; round < 15; ++round) {
        const auto a = Clock::now();
        for (long i = 0; i < batch; ++i)
            call();
        const std::chrono::duration<double, std::nano> elapsed = Clock::now() - a;
        perCall.push_back(elapsed.count() / static_cast<double>(batch));
    }
    return SampleStats(perCall).median();
}
