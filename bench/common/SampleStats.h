#pragma once

#include <cstddef>
#include <vector>

// Order statistics of a set of timings (or any numbers): median, percentiles, mean, extremes.
class SampleStats
{
public:
    explicit SampleStats(std::vector<double> samples);

    std::size_t count() const { return sorted.size(); }
    // Nearest-rank percentile, p in 0..100; 0 for an empty set.
    double percentile(double p) const;
    double median() const { return percentile(50.0); }
    double mean() const;
    double min() const;
    double max() const;

private:
    std::vector<double> sorted;
};
