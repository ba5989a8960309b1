#pragma once

#include "program/ProgramPlan.h"

#include <QJsonObject>
#include <QString>

#include <optional>

class CliArguments;
class CliOutput;

// program check FILE: reads a dosing program and checks it as a run would, then prints its
// summary or every error. Nothing is opened or sent, so it needs no port.
class ProgramCheckCommand
{
public:
    ProgramCheckCommand(const CliArguments &arguments, const CliOutput &output);

    int exec();

    // The program in that file; nothing, with every error said (and in --json's failure object),
    // when it cannot be read or has any error. program run reads its file the same way.
    static std::optional<DosingProgram> load(const QString &path, const CliOutput &output);

    // "Rinse and dose: 11 steps, about 1 min 12 s, 14.433 ml, 1 prompt"; the time leaves out
    // what the prompts wait.
    static QString summaryText(const QString &name, const ProgramPlan::Summary &summary);
    static QJsonObject summaryJson(const QString &name, const ProgramPlan::Summary &summary);

private:
    const CliArguments &args;
    const CliOutput &output;
};
