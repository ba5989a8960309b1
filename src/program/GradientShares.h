#pragma once

#include <vector>

// A gradient as two pumps can run it: one total flow, the first pump's share moving in equal
// steps from one percentage to another, the second pump taking the rest. Each step is a timed run
// on each pump, timed in whole seconds as a ramp's runs are. A share under the pump's lowest rate
// cannot be pumped: that pump stands for the step (its rate is 0), and the other keeps its share
// only, so the total dips rather than one pump being driven off its range.
class GradientShares
{
public:
    struct Share
    {
        int seconds = 0;        // at least 1
        double percent = 0;     // the first pump's share of the total
        double firstMlMin = 0;  // 0: the first pump stands for this step
        double secondMlMin = 0; // 0: the second pump stands
    };

    // steps below 1 count as 1; a single step runs halfway between the two shares. Rates in
    // thousandths, as the pump takes them.
    static std::vector<Share> split(double totalMlMin, double fromPercent, double toPercent,
                                    double forS, int steps, double minimumMlMin);
};
