#pragma once

#include "program/DosingProgram.h"
#include "program/PlannedStep.h"

#include <vector>

// A program as it runs: every step in order with its repeats unrolled.
class ProgramPlan
{
public:
    struct Summary
    {
        int steps = 0;      // unrolled
        double seconds = 0; // expected, prompts not counted
        double volumeMl = 0;
        int prompts = 0;
    };

    // The number of steps once unrolled, counted without unrolling (a file may nest repeats
    // with large counts); saturates at limit + 1.
    static long long unrolledCount(const std::vector<ProgramStep> &steps, long long limit);
    // The steps in the order they run. The program should have been checked: its unrolled size
    // is what the caller accepted.
    static std::vector<PlannedStep> unroll(const DosingProgram &program);
    static Summary summarize(const std::vector<PlannedStep> &plan);
};
