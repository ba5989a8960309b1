#include "serial/PortHolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include <vector>

namespace {

bool alive(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// A lock file holds the pid in ASCII on its first line (Qt adds the program on the second); very
// old programs wrote it as a 4-byte binary number.
PortHolder readLockFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray content = file.read(256);
    PortHolder holder;
    if (content.size() == 4 && !content.contains('\n')) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        holder.pid = binary;
    } else {
        const QList<QByteArray> lines = content.split('\n');
        holder.pid = lines.value(0).trimmed().toLongLong();
        holder.program = QString::fromLocal8Bit(lines.value(1).trimmed());
    }
    if (!alive(holder.pid))
        return {};
    const QString running = PortHolder::programOf(holder.pid);
    if (!running.isEmpty())
        holder.program = running;
    return holder;
}

std::vector<qint64> processIds()
{
    std::vector<qint64> pids;
    DIR *proc = ::opendir("/proc");
    if (proc == nullptr)
        return pids;
    while (const dirent *entry = ::readdir(proc)) {
        char *end = nullptr;
        const long long pid = std::strtoll(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0')
            pids.push_back(pid);
    }
    ::closedir(proc);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool hasOpen(qint64 pid, const QByteArray &device)
{
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd";
    DIR *fds = ::opendir(folder.constData());
    if (fds == nullptr)
        return false; // gone, or another user's
    bool found = false;
    char target[4096];
    while (!found) {
        const dirent *entry = ::readdir(fds);
        if (entry == nullptr)
            break;
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray link = folder + '/' + entry->d_name;
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        found = n == device.size() && std::memcmp(target, device.constData(), n) == 0;
    }
    ::closedir(fds);
    return found;
}

} // namespace

QStringList PortHolder::lockFolders()
{
    // Qt's serial port looks in these, in this order.
    return {QStringLiteral("/var/lock"),
            QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/run/lock")};
}

QString PortHolder::lockFileName(const QString &devicePath)
{
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

PortHolder PortHolder::fromLockFiles(const QStringList &devicePaths)
{
    for (const QString &device : devicePaths) {
        if (device.isEmpty())
            continue;
        const QString name = lockFileName(device);
        for (const QString &folder : lockFolders()) {
            const PortHolder holder = readLockFile(folder + QLatin1Char('/') + name);
            if (holder.known())
                return holder;
        }
    }
    return {};
}

PortHolder PortHolder::fromProcesses(const QString &devicePath)
{
    const QByteArray device = QFile::encodeName(devicePath);
    const qint64 self = ::getpid();
    bool selfHolds = false;
    for (const qint64 pid : processIds()) {
        if (!hasOpen(pid, device))
            continue;
        if (pid == self) {
            selfHolds = true;
            continue;
        }
        return {programOf(pid), pid};
    }
    if (selfHolds)
        return {programOf(self), self};
    return {};
}

QString PortHolder::programOf(qint64 pid)
{
    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    QFile comm(proc + QStringLiteral("comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    const QString name = QString::fromLocal8Bit(comm.readAll().trimmed());
    // The kernel keeps 15 characters of the name; the program file has all of it (readable for
    // our own processes only).
    constexpr int KeptByKernel = 15;
    if (name.size() < KeptByKernel)
        return name;
    QString file = QFileInfo(proc + QStringLiteral("exe")).symLinkTarget();
    file.remove(QStringLiteral(" (deleted)"));
    const QString full = QFileInfo(file).fileName();
    return full.startsWith(name) ? full : name;
}
