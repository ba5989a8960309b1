#include "recorder/MinMaxReduction.h"

#include <algorithm>
#include <limits>

int MinMaxReduction::column(qint64 ms, qint64 fromMs, qint64 toMs, int columns)
{
    const qint64 span = std::max<qint64>(1, toMs - fromMs);
    return static_cast<int>(std::clamp<qint64>((ms - fromMs) * columns / span, 0, columns - 1));
}

std::vector<MinMaxReduction::Point> MinMaxReduction::reduce(const Point *points, std::size_t begin,
                                                            std::size_t end, const Block *blocks,
                                                            qint64 fromMs, qint64 toMs, int columns)
{
    std::vector<Point> out;
    if (begin >= end || toMs < fromMs)
        return out;
    columns = std::max(1, columns);
    const auto byTime = [](const Point &p, qint64 ms) {
        return p.ms < ms;
    };
    const auto position = [&](qint64 ms, std::size_t from) {
        return std::size_t(std::lower_bound(points + from, points + end, ms, byTime) - points);
    };
    const std::size_t first = position(fromMs, begin);
    const std::size_t last = position(toMs + 1, first);

    out.reserve(std::min<std::size_t>(last - first, 2 * std::size_t(columns)) + 2);
    if (first > begin)
        out.push_back(points[first - 1]);
    if (last - first <= 2 * std::size_t(columns)) {
        out.insert(out.end(), points + first, points + last);
    } else {
        const qint64 span = std::max<qint64>(1, toMs - fromMs);
        std::size_t low = 0;
        std::size_t high = 0;
        const auto take = [&](std::size_t i) {
            if (points[i].value < points[low].value)
                low = i;
            if (points[i].value > points[high].value)
                high = i;
        };
        for (std::size_t at = first; at < last;) {
            const qint64 c = column(points[at].ms, fromMs, toMs, columns);
            // The column holds the times whose (ms - from) * columns stays below (c + 1) * span.
            const std::size_t stop =
                c == columns - 1 ? last
                                 : position(fromMs + ((c + 1) * span + columns - 1) / columns, at);
            low = high = at;
            const std::size_t wholeFrom = (at + BlockSize - 1) / BlockSize;
            const std::size_t wholeTo = stop / BlockSize;
            if (blocks != nullptr && wholeFrom < wholeTo) {
                for (std::size_t i = at + 1; i < wholeFrom * BlockSize; ++i)
                    take(i);
                // Blocks in time order, each with its first extremes: the same points a pass
                // over every point would keep.
                for (std::size_t k = wholeFrom; k < wholeTo; ++k) {
                    take(blocks[k].low);
                    take(blocks[k].high);
                }
                for (std::size_t i = wholeTo * BlockSize; i < stop; ++i)
                    take(i);
            } else {
                for (std::size_t i = at + 1; i < stop; ++i)
                    take(i);
            }
            if (low == high) {
                out.push_back(points[low]);
            } else {
                out.push_back(points[std::min(low, high)]);
                out.push_back(points[std::max(low, high)]);
            }
            at = stop;
        }
    }
    if (last < end)
        out.push_back(points[last]);
    return out;
}

void MinMaxReduction::extendIndex(std::vector<Block> &blocks, const Point *points,
                                  std::size_t count)
{
    // Every block but the last is complete: the last one is made again with the new points.
    if (!blocks.empty())
        blocks.pop_back();
    for (std::size_t start = blocks.size() * BlockSize; start < count; start += BlockSize) {
        Block b{start, start};
        for (std::size_t i = start + 1; i < std::min(count, start + BlockSize); ++i) {
            if (points[i].value < points[b.low].value)
                b.low = i;
            if (points[i].value > points[b.high].value)
                b.high = i;
        }
        blocks.push_back(b);
    }
}

std::vector<MinMaxReduction::Point> MinMaxReduction::simplified(const std::vector<Point> &points,
                                                                double msPerPixel,
                                                                double valuePerPixel,
                                                                double tolerance)
{
    if (points.size() < 3 || !(msPerPixel > 0) || !(valuePerPixel > 0))
        return points;
    // In pixels, from the last point kept (the anchor): the slopes of the lines from it that pass
    // within the tolerance of every point since. A point whose own slope lies among them can end
    // the segment; the first one whose slope does not makes the point before it the next anchor.
    const auto x = [&](const Point &p) {
        return double(p.ms) / msPerPixel;
    };
    const auto y = [&](const Point &p) {
        return p.value / valuePerPixel;
    };
    constexpr double unbounded = std::numeric_limits<double>::infinity();
    std::vector<Point> out{points.front()};
    std::size_t anchor = 0;
    double low = -unbounded;
    double high = unbounded;
    const auto narrow = [&](std::size_t i, double dx) {
        low = std::max(low, (y(points[i]) - tolerance - y(points[anchor])) / dx);
        high = std::min(high, (y(points[i]) + tolerance - y(points[anchor])) / dx);
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        double dx = x(points[i]) - x(points[anchor]);
        if (dx > 0) {
            const double slope = (y(points[i]) - y(points[anchor])) / dx;
            if (slope >= low && slope <= high) {
                narrow(i, dx);
                continue;
            }
        }
        if (i - 1 != anchor) {
            out.push_back(points[i - 1]);
            anchor = i - 1;
        }
        low = -unbounded;
        high = unbounded;
        dx = x(points[i]) - x(points[anchor]);
        if (dx > 0) {
            narrow(i, dx);
        } else { // the same instant (a clock set back): the line goes straight up or down
            out.push_back(points[i]);
            anchor = i;
        }
    }
    if (anchor != points.size() - 1)
        out.push_back(points.back());
    return out;
}
