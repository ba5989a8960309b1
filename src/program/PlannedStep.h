#pragma once

#include "program/ProgramStep.h"

#include <QString>

#include <vector>

// One step of a program as it runs, repeats unrolled: the step's values, where the file has it
// and which pass of each enclosing repeat it belongs to.
struct PlannedStep
{
    struct Pass
    {
        int pass = 1; // 1-based
        int count = 1;
    };

    ProgramStep step;         // never a repeat; its steps are empty
    QString path;             // "steps[2].repeat.steps[0]"
    QString number;           // the 1-based position of each level: "3.1"
    std::vector<Pass> passes; // outermost repeat first

    // "3.1 dose, pass 2/3": the number, the kind and each pass, outermost first.
    QString label() const;
    // Rough run time in seconds: a dose at its rate, a run, a ramp, a wait or a timed prime for
    // its time, a prompt none.
    double expectedSeconds() const;
    // The volume it should deliver in ml: the dose's, or the rate over the time of a run or ramp.
    double expectedVolumeMl() const;
};
