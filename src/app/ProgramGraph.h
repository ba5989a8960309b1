#pragma once

#include "app/WindowStartup.h"
#include "journal/Journal.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"

#include <QString>

#include <cstdio>

class QApplication;

// The program's objects in the order the entry point builds them: the journal, the pump core and
// the runner beside it, then the window's start-up on them; torn down in reverse. The entry point
// runs the event loop on it, and the start-up tests build the very same.
class ProgramGraph
{
public:
    // recordFile: the file --record names, or empty.
    explicit ProgramGraph(QApplication &application, const QString &recordFile = QString())
        : startup(reportingPortProblems(core), runner, application, recordFile)
    {}

    Journal journal;
    PumpCore core;
    ProgramRunner runner{journaled(core, journal)};
    WindowStartup startup;

private:
    // Every run and setting of the window goes on record as the operator's.
    static PumpCore &journaled(PumpCore &core, Journal &journal)
    {
        core.attachJournal(&journal);
        core.setOrigin({QLatin1String(JournalEntry::Origin::Window), JournalEntry::localUser(),
                        QString(), QString()});
        return core;
    }

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
