#include "program/GradientShares.h"

#include "program/RampSegments.h"

#include <algorithm>
#include <cmath>

namespace {

double thousandths(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

} // namespace

std::vector<GradientShares::Share> GradientShares::split(double totalMlMin, double fromPercent,
                                                         double toPercent, double forS, int steps,
                                                         double minimumMlMin)
{
    const int n = std::max(1, steps);
    // The same whole seconds as a ramp's runs over that time.
    const std::vector<RampSegments::Segment> times =
        RampSegments::split(fromPercent, toPercent, forS, n);
    std::vector<Share> shares;
    shares.reserve(times.size());
    for (int i = 0; i < n; ++i) {
        Share s;
        s.seconds = times[static_cast<std::size_t>(i)].seconds;
        s.percent = n == 1 ? (fromPercent + toPercent) / 2.0
                           : fromPercent + (toPercent - fromPercent) * i / (n - 1);
        // The second pump takes what the first one's rounded rate leaves: the two add up.
        s.firstMlMin = thousandths(totalMlMin * s.percent / 100.0);
        s.secondMlMin = thousandths(totalMlMin - s.firstMlMin);
        if (s.firstMlMin < minimumMlMin)
            s.firstMlMin = 0;
        if (s.secondMlMin < minimumMlMin)
            s.secondMlMin = 0;
        shares.push_back(s);
    }
    return shares;
}
