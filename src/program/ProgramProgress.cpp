#include "program/ProgramProgress.h"

#include <algorithm>

ProgramProgress::ProgramProgress(const std::vector<PlannedStep> &plan)
{
    double seconds = 0;
    for (const PlannedStep &step : plan)
        seconds += step.expectedSeconds();
    const bool bySteps = seconds <= 0;
    for (const PlannedStep &step : plan) {
        before.push_back(total);
        weights.push_back(bySteps ? 1.0 : std::max(0.0, step.expectedSeconds()));
        total += weights.back();
    }
}

double ProgramProgress::at(int position, double stepProgress) const
{
    if (total <= 0 || position < 1)
        return 0;
    const auto i = static_cast<std::size_t>(position - 1);
    if (i >= weights.size())
        return 1;
    const double done = before[i] + weights[i] * std::clamp(stepProgress, 0.0, 1.0);
    return std::clamp(done / total, 0.0, 1.0);
}
