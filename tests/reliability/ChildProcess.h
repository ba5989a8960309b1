#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// A program started by a test and watched from outside, as an operator's shell would: standard
// input is a pipe the test writes lines to, standard output and error go to files that are read
// at any time (a busy simulator log never blocks on a full pipe). /proc gives its memory and open
// files; waitpid tells a normal end from a crash.
class ChildProcess
{
public:
    struct End
    {
        bool ended = false;
        bool exited = false; // by exit(); otherwise by a signal
        int exitCode = 0;
        int signal = 0;
        bool coreDumped = false;
    };

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // environment: "NAME=value" entries added to (or replacing those of) this process's
    // environment. Output files are created in outputDir as <tag>.out and <tag>.err.
    bool start(const QString &program, const QStringList &arguments, const QStringList &environment,
               const QString &workingDir, const QString &outputDir, const QString &tag);

    pid_t pid() const { return processId; }
    // False once it has ended (the end is collected here, not left as a zombie).
    bool running();
    bool writeLine(const QString &line);
    void signal(int number);
    // Waits up to timeoutMs for the end; ended is false when it is still running.
    End waitForEnd(int timeoutMs);
    End end() const { return finished; }

    QByteArray standardOutput() const;
    QByteArray standardError() const;
    // Resident memory in kB from /proc (VmRSS), -1 when it cannot be read.
    qint64 residentKb() const;
    // Targets of its open file descriptors ("/dev/pts/3", "/run/.../DOSETTA_1.lock").
    QStringList openFiles() const;

    static QString describe(const End &end);

private:
    void collect(int status);

    pid_t processId = -1;
    int stdinFd = -1;
    QString outPath;
    QString errPath;
    End finished;
};
