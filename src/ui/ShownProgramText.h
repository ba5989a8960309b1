#pragma once

#include <QString>

// The program runner's texts (its stop and fail reasons, why a program did not start, a step's
// label, an outside run's name) and the program file's errors and notes in the window's
// language. Both write them in English for every front-end; only the window's wording is made
// here.
class ShownProgramText
{
public:
    // A reason, possibly several joined with "; ", or a run's name.
    static QString shown(const QString &english);
    // An error or a note of the program file: "steps[1].wait.for_s: 0 is below 1 s, ...".
    static QString checked(const QString &english);
    // "3.1 dose, pass 2/3": the passes are worded, the step's number and kind stay as the
    // program file writes them.
    static QString label(const QString &english);
};
