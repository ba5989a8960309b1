#pragma once

#include "program/DosingProgram.h"
#include "program/ProgramStatus.h"

#include <QJsonObject>
#include <QString>

class PumpCore;

// What the journal keeps of a run: its start with who asked, what was asked and the pump's
// settings at that moment, and its end with the cause and the pump's own final count. Written to
// the journal the core is attached to; nothing without one.
class RunRecord
{
public:
    // Writes the run's start under status.runId.
    static void begin(PumpCore &core, const ProgramStatus &status, const DosingProgram &program);
    // Writes its end: state, cause, reason, who stopped it, the pump's error flags, its count.
    static void end(PumpCore &core, const ProgramStatus &status);

    // The program as its file would hold it, with the file's hash when it came from one.
    static QJsonObject asked(const DosingProgram &program);
    // Every value of the pump that can be set and read, as the items hold it now.
    static QJsonObject settings(const PumpCore &core);
};
