#pragma once

#include "program/ProgramStep.h"

#include <QString>
#include <QStringList>

#include <vector>

// A dosing program: its name and its steps, as a file holds them.
struct DosingProgram
{
    QString name;
    std::vector<ProgramStep> steps;
    // Hex SHA-256 of the file it was read from; empty for a program made in memory.
    QString fileSha256 = {};
    // The names of the pumps it drives, the default one first; empty: one pump, unnamed.
    QStringList pumps = {};
};
