#pragma once

#include "program/ProgramStatus.h"

#include <QJsonObject>
#include <QString>

class CliArguments;
class CliOutput;
class CliPump;

// program run FILE: a dosing program run to its end in the foreground on the core's program
// runner. The runner judges each step's end from the polled samples, so the pump is reached as
// the bridge reaches it, through a polled core (HeadlessPump), not the tool's one-exchange
// session. The file is checked whole first: nothing is opened or sent for a file with an error,
// nor for one with a prompt step that nobody could continue. Every way out but done stops the
// pump: an interruption, a fault, a lost link once it is back.
class ProgramRunCommand
{
public:
    // How long a lost link is waited for after the program failed, so that a Stop goes out.
    static constexpr int LinkReturnMs = 10000;

    ProgramRunCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int exec();

private:
    // One line on standard output for --json ("event", the status and any fields), else the
    // text.
    void event(const char *name, const ProgramStatus &status, const QString &text,
               const QJsonObject &fields = QJsonObject()) const;
    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
    bool events = true; // off while "--csv -" has standard output
};
