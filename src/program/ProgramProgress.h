#pragma once

#include "program/PlannedStep.h"

#include <vector>

// How far a program is by time, not by steps: each step weighs its expected seconds (a dose its
// volume at its rate, a timed step its time). A step without a time of its own (a prompt, a hold,
// a run or prime until stopped) weighs nothing: the bar waits with it. A program in which no step
// has a time goes by steps, each the same.
class ProgramProgress
{
public:
    ProgramProgress() = default;
    explicit ProgramProgress(const std::vector<PlannedStep> &plan);

    // 0 to 1 with the step at the 1-based position this far (0 to 1) along; position 0 is the
    // start, one past the last the end.
    double at(int position, double stepProgress) const;
    double totalSeconds() const { return total; }

private:
    std::vector<double> weights;
    std::vector<double> before; // the weights of the steps before each
    double total = 0;
};
