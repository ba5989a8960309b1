#pragma once

#include "program/ProgramPlan.h"
#include "program/ProgramSplit.h"

#include <QJsonObject>
#include <QString>

#include <optional>

class CliArguments;
class CliOutput;

// program check FILE: reads a dosing program and checks it as a run would, then prints its
// summary or every error. Nothing is opened or sent, so it needs no port. A program that names
// its pumps is shown pump by pump: each one's summary and its plan, holds included.
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

    // "Mix: 2 pumps, 16 steps, about 1 min, 20 ml", then for each pump its summary and its
    // steps, one a line, a repeat's indented below it.
    static QString splitText(const QString &name, const ProgramSplit &split);
    // The summary with "pumps": each one's summary, "pump" and "plan" (its lines).
    static QJsonObject splitJson(const QString &name, const ProgramSplit &split);
    // The program's: every pump's steps, volume and prompts; the time stage by stage.
    static ProgramPlan::Summary total(const ProgramSplit &split);
    static QStringList planLines(const ProgramSplit::Part &part);

private:
    const CliArguments &args;
    const CliOutput &output;
};
