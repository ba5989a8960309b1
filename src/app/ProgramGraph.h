#pragma once

#include "app/WindowStartup.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"

#include <QString>

#include <cstdio>

class QApplication;

// The program's objects in the order the entry point builds them: the pump core, then the
// window's start-up on it; torn down in reverse. The entry point runs the event loop on it, and
// the start-up tests build the very same.
class ProgramGraph
{
public:
    // recordFile: the file --record names, or empty.
    explicit ProgramGraph(QApplication &application, const QString &recordFile = QString())
        : startup(reportingPortProblems(core), application, recordFile)
    {}

    PumpCore core;
    WindowStartup startup;

private:
    // An operator who started the program from a shell sees there why the port is refused, from
    // the first attempt on.
    static PumpCore &reportingPortProblems(PumpCore &core)
    {
        QObject::connect(&core.link(), &Communication::portProblemChanged, [](const QString &text) {
            if (!text.isEmpty())
                std::fprintf(stderr, "dosetta: %s\n", text.toUtf8().constData());
        });
        return core;
    }
};
