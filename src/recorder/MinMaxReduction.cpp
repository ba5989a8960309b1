#include "recorder/MinMaxReduction.h"

#include <algorithm>
#include <limits>

int MinMaxReduction::column(qint64 ms, qint64 fromMs, qint64 toMs, int columns)
{
    const qint64 span = std::max<qint64>(1, toMs - fromMs);
    return static_cast<int>(std::clamp<qint64>((ms - fromMs) * columns / span, 0, columns - 1));
}

std::vector<MinMaxReduction::Point> MinMaxReduction::reduce(const std::deque<Point> &points,
                                                            qint64 fromMs, qint64 toMs, int columns)
{
    std::vector<Point> out;
    if (points.empty() || toMs < fromMs)
        return out;
    columns = std::max(1, columns);
    const auto byTime = [](const Point &p, qint64 ms) {
        return p.ms < ms;
    };
    auto first = std::lower_bound(points.begin(), points.end(), fromMs, byTime);
    auto last = std::lower_bound(first, points.end(), toMs + 1, byTime);
    const auto inside = last - first;

    out.reserve(std::size_t(std::min<qint64>(inside, 2 * qint64(columns))) + 2);
    if (first != points.begin())
        out.push_back(*(first - 1));
    if (inside <= 2 * qint64(columns)) {
        out.insert(out.end(), first, last);
    } else {
        const qint64 span = std::max<qint64>(1, toMs - fromMs);
        auto it = first;
        while (it != last) {
            const int c = column(it->ms, fromMs, toMs, columns);
            // The column ends where (ms - from) * columns reaches (c + 1) * span: one product per
            // point instead of a division.
            const qint64 limit =
                c == columns - 1 ? std::numeric_limits<qint64>::max() : (c + 1) * span;
            auto low = it;
            auto high = it;
            for (++it; it != last && (it->ms - fromMs) * columns < limit; ++it) {
                if (it->value < low->value)
                    low = it;
                if (it->value > high->value)
                    high = it;
            }
            if (low == high) {
                out.push_back(*low);
            } else if (low < high) {
                out.push_back(*low);
                out.push_back(*high);
            } else {
                out.push_back(*high);
                out.push_back(*low);
            }
        }
    }
    if (last != points.end())
        out.push_back(*last);
    return out;
}
