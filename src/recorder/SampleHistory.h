#pragma once

#include "recorder/MinMaxReduction.h"
#include "recorder/ProcessSample.h"

#include <deque>
#include <limits>

// The session's samples as the chart draws them: the volume delivered (ml) and the flow rate set
// (ml/min) over time, and the moments the pump started or stopped. Keeps the last 24 hours; older
// points go. Unknown values leave no point.
class SampleHistory
{
public:
    using Point = MinMaxReduction::Point;
    static constexpr qint64 SpanMs = 24LL * 3600 * 1000;

    struct Mark
    {
        qint64 ms;
        bool start;    // false: stopped (or paused)
        double volume; // ml where the volume curve stood; NaN when it was not known yet
    };

    void add(const ProcessSample &sample);
    void clear();

    const std::deque<Point> &volume() const { return volumePoints; }
    const std::deque<Point> &flow() const { return flowPoints; }
    const std::deque<Mark> &marks() const { return markList; }

    bool empty() const { return samples == 0; }
    // Times of the oldest and newest sample kept.
    qint64 firstMs() const { return oldestMs; }
    qint64 lastMs() const { return newestMs; }

private:
    void dropOlderThan(qint64 ms);

    std::deque<Point> volumePoints;
    std::deque<Point> flowPoints;
    std::deque<Mark> markList;
    qint64 samples = 0;
    qint64 oldestMs = 0;
    qint64 newestMs = 0;
    ProcessSample::RunState lastState = ProcessSample::RunState::Unknown;
    double lastVolume = std::numeric_limits<double>::quiet_NaN();
};
