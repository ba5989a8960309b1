#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace Pump {
class DosingPlan;
}

// One step of a dosing program as its file gives it, in the file's units; a repeat holds its own
// steps, a parallel one list of steps per pump. Only the fields of its kind mean anything.
struct ProgramStep
{
    // Prime: the pump's prime key at its own prime rate, stopped after forS; with no time (a
    // front-end's prime, run as a program of its own) until stopped, which no file may ask for.
    enum class Kind { Dose, Run, Ramp, Wait, Prompt, Repeat, Parallel, Gradient, Prime };

    // One pump's part of a parallel step.
    struct Branch
    {
        QString pump;
        std::vector<ProgramStep> steps;
    };

    // The file's name of the kind: "dose", "run", "ramp", "wait", "prompt", "repeat",
    // "parallel", "gradient"; "prime".
    static QString kindName(Kind kind);
    // The step a front-end's prime runs as: until stopped.
    static ProgramStep prime();
    // The one step of a checked dose or run that a front-end asked for by its words: a dose
    // without a rate goes at full flow, a run without a time until stopped.
    static ProgramStep of(const Pump::DosingPlan &plan);

    Kind kind = Kind::Wait;
    double volumeMl = 0;            // dose
    double rateMlMin = 0;           // dose, run
    double fromMlMin = 0;           // ramp
    double toMlMin = 0;             // ramp
    double forS = 0;                // run, ramp, wait, gradient, prime
    int rampSteps = 0;              // ramp, gradient: equal steps from one value to the other
    int count = 0;                  // repeat
    QString text;                   // prompt
    std::vector<ProgramStep> steps; // repeat
    // The pump it runs on, in a program that names its pumps; empty: the enclosing repeat's, else
    // the program's first. Any kind but parallel and gradient.
    QString pump = {};
    std::vector<Branch> branches = {}; // parallel, in the file's order
    QStringList pumps = {};            // gradient: two, the first one's share in percent
    double totalMlMin = 0;             // gradient: both pumps together
    double fromPercent = 0;            // gradient: the first pump's share at the start
    double toPercent = 0;              // gradient: and at the end
};
