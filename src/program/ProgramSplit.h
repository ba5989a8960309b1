#pragma once

#include "program/DosingProgram.h"

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

// A program that drives several pumps, as their runners run it: one program per pump. The file's
// steps fall into stages in time order: a run of steps on one pump, a parallel step (its branches
// on their pumps at once) or a gradient (a timed run or a wait per share on each of its two
// pumps). A stage begins once every stage before it is done on every pump. Each pump's program
// holds its own steps of each stage, and a hold before a stage whose turn depends on other pumps:
// a prompt step that whoever runs the program continues once those are done, never the operator.
// Every pump's program also ends with a hold while another pump may still run, so that all of
// them stay in the program, and under its interlock, to its end. Pure: the program should have
// passed the file's checks.
class ProgramSplit
{
public:
    struct Hold
    {
        int position = 0; // 1-based, in the pump's program once unrolled
        int after = 0;    // the stages that must be done before it is continued
    };

    struct Part
    {
        QString pump;
        // The pump's own steps, named by no pump, with the holds; the file's name and hash.
        DosingProgram program;
        std::vector<Hold> holds;
        // For each stage the pump takes part in: the position of its last step in it.
        std::map<int, int> lastOfStage;
        double seconds = 0; // expected, its own steps only
        double volumeMl = 0;
        int steps = 0; // once unrolled, holds not counted
        int prompts = 0;
    };

    struct Stage
    {
        // Where the file has it: "steps[2].parallel", "steps[0] to steps[3]" for a run of steps on
        // one pump, with the passes of repeats over several pumps: "... (pass 2/3)".
        QString path;
        QStringList pumps;
        double seconds = 0; // expected: its longest part
    };

    // The words of a hold's prompt, so that a journal reader sees what it waited for.
    static constexpr const char *HoldPrefix = "hold until ";

    static ProgramSplit of(const DosingProgram &program);

    const Part *part(const QString &pump) const;
    // Whether the step at that position of the pump's program is a hold.
    bool isHold(const QString &pump, int position) const;
    // Expected run time: each stage as long as its longest part, prompts not counted.
    double seconds() const;

    std::vector<Stage> stages;
    std::vector<Part> parts; // in the program's order of pumps
};
