#include "recorder/SampleHistory.h"

#include <algorithm>

void SampleHistory::add(const ProcessSample &sample)
{
    // Points stay in time order even when the system clock is set back.
    const qint64 ms = samples > 0 ? std::max(sample.timeMs, newestMs) : sample.timeMs;
    if (samples == 0)
        oldestMs = ms;
    newestMs = ms;
    ++samples;
    if (sample.volumeDelivered) {
        lastVolume = double(*sample.volumeDelivered) / 1000.0;
        volumePoints.push_back({ms, lastVolume});
    }
    if (sample.flowRate)
        flowPoints.push_back({ms, double(*sample.flowRate) / 1000.0});
    if (sample.runState != ProcessSample::RunState::Unknown) {
        const bool running = sample.running();
        if (lastState != ProcessSample::RunState::Unknown &&
            running != (lastState == ProcessSample::RunState::Running ||
                        lastState == ProcessSample::RunState::Priming))
            markList.push_back({ms, running, lastVolume});
        lastState = sample.runState;
    }
    if (ms - oldestMs > SpanMs)
        dropOlderThan(ms - SpanMs);
}

void SampleHistory::dropOlderThan(qint64 ms)
{
    while (!volumePoints.empty() && volumePoints.front().ms < ms)
        volumePoints.pop_front();
    while (!flowPoints.empty() && flowPoints.front().ms < ms)
        flowPoints.pop_front();
    while (!markList.empty() && markList.front().ms < ms)
        markList.pop_front();
    oldestMs = ms;
}

void SampleHistory::clear()
{
    *this = SampleHistory();
}
