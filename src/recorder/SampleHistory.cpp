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
    volumePoints.dropBefore(ms);
    flowPoints.dropBefore(ms);
    while (!markList.empty() && markList.front().ms < ms)
        markList.pop_front();
    oldestMs = ms;
}

void SampleHistory::clear()
{
    *this = SampleHistory();
}

void SampleHistory::Series::push_back(const Point &p)
{
    points.push_back(p);
    MinMaxReduction::extendIndex(blocks, points.data(), points.size());
}

void SampleHistory::Series::dropBefore(qint64 ms)
{
    while (head < points.size() && points[head].ms < ms)
        ++head;
    // The dropped points go in one move once they are half of the block of memory (one copy per
    // half day, not one per sample), whole index blocks at a time so the rest stays aligned.
    const std::size_t gone = head - head % MinMaxReduction::BlockSize;
    if (gone == 0 || head < points.size() / 2)
        return;
    points.erase(points.begin(), points.begin() + std::ptrdiff_t(gone));
    blocks.erase(blocks.begin(),
                 blocks.begin() + std::ptrdiff_t(gone / MinMaxReduction::BlockSize));
    for (MinMaxReduction::Block &b : blocks) {
        b.low -= gone;
        b.high -= gone;
    }
    head -= gone;
}

std::vector<SampleHistory::Point> SampleHistory::Series::reduce(qint64 fromMs, qint64 toMs,
                                                                int columns) const
{
    return MinMaxReduction::reduce(points.data(), head, points.size(), blocks.data(), fromMs, toMs,
                                   columns);
}
