#include "recorder/MinMaxReduction.h"

#include <algorithm>

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

std::vector<MinMaxReduction::Point>
MinMaxReduction::withoutFlatRuns(const std::vector<Point> &points)
{
    std::vector<Point> out;
    out.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool inner = i > 0 && i + 1 < points.size() &&
                           points[i - 1].value == points[i].value &&
                           points[i + 1].value == points[i].value;
        if (!inner)
            out.push_back(points[i]);
    }
    return out;
}
