#pragma once

#include <QtGlobal>

#include <deque>
#include <vector>

// Thins a time series for drawing: per pixel column of the visible time range it keeps the
// lowest and the highest point, in time order, so that a line through the result covers every
// pixel the full series would, spikes included, with at most two points per column.
class MinMaxReduction
{
public:
    struct Point
    {
        qint64 ms;
        double value;
        bool operator==(const Point &o) const { return ms == o.ms && value == o.value; }
    };

    // points: sorted by time. Returns the points of [fromMs, toMs] reduced to `columns` columns,
    // plus the nearest point on either side of the range so the line runs to the edges. A range
    // with no more than two points per column comes back whole.
    static std::vector<Point> reduce(const std::deque<Point> &points, qint64 fromMs, qint64 toMs,
                                     int columns);
    // The column of a time inside [fromMs, toMs]. Ranges up to centuries at thousands of
    // columns stay well inside 64 bits.
    static int column(qint64 ms, qint64 fromMs, qint64 toMs, int columns);
};
