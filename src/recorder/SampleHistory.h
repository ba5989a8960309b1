#pragma once

#include "recorder/MinMaxReduction.h"
#include "recorder/ProcessSample.h"

#include <deque>
#include <limits>
#include <vector>

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

    // The points of one curve, oldest first, in one block of memory with the index of their
    // extremes: the chart reduces all of a day on every redraw of it.
    class Series
    {
    public:
        const Point *begin() const { return points.data() + head; }
        const Point *end() const { return points.data() + points.size(); }
        std::size_t size() const { return points.size() - head; }
        bool empty() const { return size() == 0; }
        const Point &front() const { return *begin(); }
        const Point &back() const { return points.back(); }

        void push_back(const Point &p);
        void dropBefore(qint64 ms);
        // MinMaxReduction::reduce over the points, with their index.
        std::vector<Point> reduce(qint64 fromMs, qint64 toMs, int columns) const;

    private:
        std::vector<Point> points;
        std::vector<MinMaxReduction::Block> blocks;
        std::size_t head = 0; // points before it are gone
    };

    void add(const ProcessSample &sample);
    void clear();

    const Series &volume() const { return volumePoints; }
    const Series &flow() const { return flowPoints; }
    const std::deque<Mark> &marks() const { return markList; }

    bool empty() const { return samples == 0; }
    // Times of the oldest and newest sample kept.
    qint64 firstMs() const { return oldestMs; }
    qint64 lastMs() const { return newestMs; }

private:
    void dropOlderThan(qint64 ms);

    Series volumePoints;
    Series flowPoints;
    std::deque<Mark> markList;
    qint64 samples = 0;
    qint64 oldestMs = 0;
    qint64 newestMs = 0;
    ProcessSample::RunState lastState = ProcessSample::RunState::Unknown;
    double lastVolume = std::numeric_limits<double>::quiet_NaN();
};
