#pragma once

#include <QString>

#include <vector>

namespace Pump {
class DosingPlan;
}

// One step of a dosing program as its file gives it, in the file's units; a repeat holds its own
// steps. Only the fields of its kind mean anything.
struct ProgramStep
{
    // Prime is a front-end's priming until stopped, run as a program of its own: no file may
    // ask for it.
    enum class Kind { Dose, Run, Ramp, Wait, Prompt, Repeat, Prime };

    // The file's name of the kind: "dose", "run", "ramp", "wait", "prompt", "repeat"; "prime".
    static QString kindName(Kind kind);
    // The step a front-end's prime runs as.
    static ProgramStep prime();
    // The one step of a checked dose or run that a front-end asked for by its words: a dose
    // without a rate goes at full flow, a run without a time until stopped.
    static ProgramStep of(const Pump::DosingPlan &plan);

    Kind kind = Kind::Wait;
    double volumeMl = 0;            // dose
    double rateMlMin = 0;           // dose, run
    double fromMlMin = 0;           // ramp
    double toMlMin = 0;             // ramp
    double forS = 0;                // run, ramp, wait
    int rampSteps = 0;              // ramp: equal steps from one rate to the other
    int count = 0;                  // repeat
    QString text;                   // prompt
    std::vector<ProgramStep> steps; // repeat
};
