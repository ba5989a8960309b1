#pragma once

#include "program/DosingProgram.h"
#include "program/ProgramStatus.h"

#include <QJsonObject>
#include <QString>

class CliArguments;
class CliOutput;

// program run FILE --pump A=PORT[:ADDRESS] --pump B=...: a program that names its pumps, run to
// its end in the foreground on one polled core per pump (HeadlessPump), all writing the process's
// one journal, through MultiPumpRunner. The events are program run's, each with the pump it is
// about ("pump"), the holds left out; each run's end is a "run-ended" event, and the program's
// own "ended" comes last with each pump's run. Every way out but done stops every pump.
class MultiProgramRunCommand
{
public:
    MultiProgramRunCommand(const CliArguments &arguments, const CliOutput &output);

    // The program was read and checked from file.
    int exec(const DosingProgram &program, const QString &file);

private:
    void event(const char *name, const QString &pump, const ProgramStatus &status,
               const QString &text) const;

    const CliArguments &args;
    const CliOutput &output;
};
