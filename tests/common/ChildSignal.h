#pragma once

#include <QProcess>

#include <csignal>
#include <sys/types.h>

// Signals a child that still runs. QProcess gives 0 as the id of one that has ended, and
// kill(0, ...) would signal the whole process group: the test runner with it.
inline bool signalChild(const QProcess &process, int number)
{
    const qint64 pid = process.processId();
    return pid > 0 && process.state() == QProcess::Running &&
           ::kill(static_cast<pid_t>(pid), number) == 0;
}
