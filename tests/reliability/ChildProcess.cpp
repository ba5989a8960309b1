#include "ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

ChildProcess::~ChildProcess()
{
    if (processId > 0 && !finished.ended) {
        ::kill(processId, SIGKILL);
        waitForEnd(5000);
    }
    if (stdinFd >= 0)
        ::close(stdinFd);
}

bool ChildProcess::start(const QString &program, const QStringList &arguments,
                         const QStringList &environment, const QString &workingDir,
                         const QString &outputDir, const QString &tag)
{
    outPath = QDir(outputDir).filePath(tag + ".out");
    errPath = QDir(outputDir).filePath(tag + ".err");

    std::vector<std::string> args{program.toStdString()};
    for (const QString &a : arguments)
        args.push_back(a.toStdString());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The test's own environment, with the given entries replacing those of the same name.
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const QString entry = QString::fromLocal8Bit(*e);
        const QString name = entry.section('=', 0, 0) + '=';
        bool replaced = false;
        for (const QString &o : environment)
            replaced = replaced || o.startsWith(name);
        if (!replaced)
            env.emplace_back(*e);
    }
    for (const QString &o : environment)
        env.push_back(o.toStdString());
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const std::string out = QFile::encodeName(outPath).toStdString();
    const std::string err = QFile::encodeName(errPath).toStdString();
    const std::string dir = QFile::encodeName(workingDir).toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    // Its own process group, so that a signal typed at the test's terminal does not reach it
    // twice, and so that the test alone decides how it ends.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    const int rc = ::posix_spawnp(&processId, args.front().c_str(), &actions, &attributes,
                                  argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[0]);
    if (rc != 0) {
        ::close(pipeFds[1]);
        processId = -1;
        return false;
    }
    stdinFd = pipeFds[1];
    finished = End();
    return true;
}

void ChildProcess::collect(int status)
{
    finished.ended = true;
    finished.exited = WIFEXITED(status);
    finished.exitCode = finished.exited ? WEXITSTATUS(status) : 0;
    finished.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    finished.coreDumped = WIFSIGNALED(status) && WCOREDUMP(status);
}

bool ChildProcess::running()
{
    if (processId <= 0 || finished.ended)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(processId, &status, WNOHANG);
    if (r == processId) {
        collect(status);
        return false;
    }
    return r == 0;
}

bool ChildProcess::writeLine(const QString &line)
{
    if (stdinFd < 0)
        return false;
    const QByteArray bytes = line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(stdinFd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void ChildProcess::signal(int number)
{
    if (processId > 0 && !finished.ended)
        ::kill(processId, number);
}

ChildProcess::End ChildProcess::waitForEnd(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (running() && clock.elapsed() < timeoutMs)
        QThread::msleep(10);
    return finished;
}

QByteArray ChildProcess::standardOutput() const
{
    QFile file(outPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ChildProcess::standardError() const
{
    QFile file(errPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 ChildProcess::residentKb() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(processId));
    if (processId <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QStringList ChildProcess::openFiles() const
{
    QStringList targets;
    if (processId <= 0)
        return targets;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(processId));
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        if (!target.isEmpty())
            targets << target;
    }
    return targets;
}

QString ChildProcess::describe(const End &end)
{
    if (!end.ended)
        return QStringLiteral("still running");
    if (end.exited)
        return QStringLiteral("exit status %1").arg(end.exitCode);
    return QStringLiteral("signal %1%2").arg(end.signal).arg(end.coreDumped ? " (core)" : "");
}
