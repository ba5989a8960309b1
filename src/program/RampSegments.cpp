#include "program/RampSegments.h"

#include <algorithm>
#include <cmath>

std::vector<RampSegments::Segment> RampSegments::split(double fromMlMin, double toMlMin,
                                                       double forS, int steps)
{
    const int n = std::max(1, steps);
    std::vector<Segment> segments;
    segments.reserve(static_cast<std::size_t>(n));
    long long before = 0;
    for (int i = 0; i < n; ++i) {
        Segment s;
        s.rateMlMin =
            n == 1 ? (fromMlMin + toMlMin) / 2.0 : fromMlMin + (toMlMin - fromMlMin) * i / (n - 1);
        // Three decimals: what the pump takes.
        s.rateMlMin = std::round(s.rateMlMin * 1000.0) / 1000.0;
        const long long upTo = std::llround(forS * (i + 1) / n);
        s.seconds = static_cast<int>(std::max(1LL, upTo - before));
        before = std::max(upTo, before + s.seconds);
        segments.push_back(s);
    }
    return segments;
}
