#pragma once

#include <QtGlobal>

#include <vector>

// Thins a time series for drawing: per pixel column of the visible time range it keeps the
// lowest and the highest point, in time order, so that a line through the result covers every
// pixel the full series would, spikes included, with at most two points per column. An index of
// the extremes of each block of BlockSize points lets a column skip the blocks it holds whole: a
// day in a few hundred columns costs a few thousand steps instead of a pass over every point.
class MinMaxReduction
{
public:
    struct Point
    {
        qint64 ms;
        double value;
        bool operator==(const Point &o) const { return ms == o.ms && value == o.value; }
    };
    // The first lowest and the first highest point of one block, as positions in the series.
    struct Block
    {
        std::size_t low;
        std::size_t high;
    };
    static constexpr std::size_t BlockSize = 32;

    // points[begin, end): sorted by time. blocks: the index of points (block k covers positions
    // k * BlockSize onward), or null to look at every point. Returns the points of
    // [fromMs, toMs] reduced to `columns` columns, plus the nearest point on either side of the
    // range so the line runs to the edges. A range with no more than two points per column
    // comes back whole.
    static std::vector<Point> reduce(const Point *points, std::size_t begin, std::size_t end,
                                     const Block *blocks, qint64 fromMs, qint64 toMs, int columns);
    template<class Points>
    static std::vector<Point> reduce(const Points &points, qint64 fromMs, qint64 toMs, int columns)
    {
        return reduce(points.data(), 0, points.size(), nullptr, fromMs, toMs, columns);
    }
    // Brings the index up to date with points[0, count) after points were appended.
    static void extendIndex(std::vector<Block> &blocks, const Point *points, std::size_t count);
    // The same line as drawn, with fewer points: a point goes when the line through the points
    // kept passes within `tolerance` pixels of it (a ramp or a flat run keeps its two ends).
    // Spikes stay. Pixel sizes in the units of the points.
    static std::vector<Point> simplified(const std::vector<Point> &points, double msPerPixel,
                                         double valuePerPixel, double tolerance);

    // The column of a time inside [fromMs, toMs]. Ranges up to centuries at thousands of
    // columns stay well inside 64 bits.
    static int column(qint64 ms, qint64 fromMs, qint64 toMs, int columns);
};
