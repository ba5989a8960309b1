#pragma once

#include "program/DosingProgram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The program file: JSON, UTF-8, "format": "dosetta-program/1". Reading checks the whole file
// against the limits every front-end uses (format, types, limits, unknown fields, nesting, the
// unrolled size) and names each error by its path:
// "steps[2].repeat.steps[0].dose.rate_ml_min: 150 is above 100". A file with any error yields no
// program, so nothing can be sent from it; one whose errors are only in its values yields a draft
// to mend in an editor.
//
// A program may name the pumps it drives ("pumps": ["A", "B"]); a step then gives its pump
// ("pump": "B", else the enclosing repeat's, else the first), a parallel step runs one branch of
// steps per pump at once, and a gradient shares one total flow between two pumps. A program
// without "pumps" drives one pump and knows neither.
class ProgramFile
{
public:
    static constexpr const char *Format = "dosetta-program/1";
    static constexpr int MaxBytes = 64 * 1024;
    static constexpr int MaxSteps = 1000; // once unrolled
    static constexpr int MaxDepth = 3;    // repeats within repeats
    static constexpr int MaxPumps = 8;

    struct Checked
    {
        DosingProgram program; // empty unless ok()
        QStringList errors;
        // A program file in the right format whose every step could be read as one: its errors
        // are in values (limits, types, missing or unknown fields) and name paths that fit the
        // draft. Not so for what is no JSON, no program, or has steps that are not steps.
        bool readable = false;
        // What could be read of a readable file with errors, a missing or mistyped value as 0;
        // never to run or send, only to mend. Empty otherwise.
        DosingProgram draft;
        // What is worth knowing but no error, by path like the errors: a dose that goes at full
        // flow because it would take under half a second at its rate.
        QStringList notes;
        bool ok() const { return errors.isEmpty(); }
    };

    static Checked read(const QByteArray &json);
    // Reads a file from disk; one that cannot be read or is over MaxBytes is an error too.
    static Checked load(const QString &path);
    // The file for a program, indented, so that read(write(p)) gives p back.
    static QByteArray write(const DosingProgram &program);
    // The errors of a program built in memory (the window's editor), by the same rules as read.
    static QStringList check(const DosingProgram &program);
    // The notes of a program built in memory, as read() gives them for a file.
    static QStringList notes(const DosingProgram &program);
};
