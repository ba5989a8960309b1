#include "SampleStats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

SampleStats::SampleStats(std::vector<double> samples)
    : sorted(std::move(samples))
{
    std::sort(sorted.begin(), sorted.end());
}

double SampleStats::percentile(double p) const
{
    if (sorted.empty())
        return 0.0;
    const double rank = std::ceil(p / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

double SampleStats::mean() const
{
    if (sorted.empty())
        return 0.0;
    return std::accumulate(sorted.begin(), sorted.end(), 0.0) / static_cast<double>(sorted.size());
}

double SampleStats::min() const
{
    return sorted.empty() ? 0.0 : sorted.front();
}

double SampleStats::max() const
{
    return sorted.empty() ? 0.0 : sorted.back();
}
