#include "serial/PortProblem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString groupName(gid_t gid)
{
    const group *g = ::getgrgid(gid);
    return g != nullptr ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QString userName(uid_t uid)
{
    const passwd *p = ::getpwuid(uid);
    return p != nullptr ? QString::fromLocal8Bit(p->pw_name) : QString::number(uid);
}

// Qt's serial port takes a lock file before it opens a device and refuses the port when no lock
// folder can be used.
bool lockFolderUsable()
{
    for (const QString &folder : PortHolder::lockFolders()) {
        const QByteArray native = QFile::encodeName(folder);
        if (::access(native.constData(), R_OK | W_OK | X_OK) == 0)
            return true;
    }
    return false;
}

} // namespace

QString PortProblem::systemLocation(const QString &nameOrPath)
{
    // The same rule as Qt's serial port, so the path shown is the one it opened.
    if (nameOrPath.isEmpty() || nameOrPath.startsWith(QLatin1Char('/')) ||
        nameOrPath.startsWith(QLatin1String("./")) || nameOrPath.startsWith(QLatin1String("../")))
        return nameOrPath;
    return QStringLiteral("/dev/") + nameOrPath;
}

QString PortProblem::devicePath(const QString &path)
{
    if (path.isEmpty())
        return {};
    return QFileInfo(path).canonicalFilePath();
}

PortProblem PortProblem::missing(const QString &path)
{
    PortProblem p;
    p.cause = Cause::Missing;
    p.path = path;
    return p;
}

PortProblem PortProblem::busy(const QString &path)
{
    PortProblem p;
    p.cause = Cause::Busy;
    p.path = path;
    const QString device = devicePath(path);
    p.holder = PortHolder::fromLockFiles({device, systemLocation(path)});
    if (!p.holder.known())
        p.holder = PortHolder::fromProcesses(device);
    return p;
}

PortProblem PortProblem::diagnose(const QString &path, QSerialPort::SerialPortError error,
                                  const QString &systemText)
{
    const QString device = devicePath(path);
    if (device.isEmpty())
        return missing(path);

    PortProblem p;
    p.path = path;
    // A live lock holder first: the serial port checks the lock before it opens the device.
    p.holder = PortHolder::fromLockFiles({device, systemLocation(path)});
    if (p.holder.known()) {
        p.cause = Cause::Busy;
        return p;
    }
    const QByteArray native = QFile::encodeName(device);
    if (::access(native.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        struct stat info = {};
        if (::stat(native.constData(), &info) == 0) {
            p.group = groupName(info.st_gid);
            p.owner = userName(info.st_uid);
            p.groupMayOpen = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        }
        p.cause = Cause::PermissionDenied;
        return p;
    }
    if (error == QSerialPort::PermissionError && !lockFolderUsable()) {
        p.cause = Cause::Other;
        p.systemText = QCoreApplication::translate("PortProblem",
                                                   "no folder for its lock file can be written: %1")
                           .arg(PortHolder::lockFolders().constFirst());
        return p;
    }
    // Allowed to open it and still refused: the device is held exclusively.
    if (error == QSerialPort::PermissionError)
        return busy(path);
    p.cause = Cause::Other;
    p.systemText = systemText;
    return p;
}

QString PortProblem::text() const
{
    switch (cause) {
    case Cause::None:
        return {};
    case Cause::PermissionDenied:
        if (groupMayOpen || group.isEmpty())
            return QCoreApplication::translate(
                       "PortProblem",
                       "%1: permission denied. The port belongs to the group %2: add your "
                       "user to it with \"sudo usermod -aG %2 $USER\", then log out and "
                       "log in again.")
                .arg(path, group.isEmpty() ? QStringLiteral("dialout") : group);
        return QCoreApplication::translate(
                   "PortProblem",
                   "%1: permission denied. Only its owner %2 may open the port; ask the "
                   "administrator to give it to the group dialout.")
            .arg(path, owner);
    case Cause::Busy:
        if (holder.known() && !holder.program.isEmpty())
            return QCoreApplication::translate(
                       "PortProblem",
                       "%1: in use by %2, pid %3. Close that program, or choose another "
                       "port.")
                .arg(path, holder.program)
                .arg(holder.pid);
        return QCoreApplication::translate(
                   "PortProblem",
                   "%1: in use by another program. Close it, or choose another port.")
            .arg(path);
    case Cause::Missing:
        return QCoreApplication::translate("PortProblem", "%1: not present — plugged in?")
            .arg(path);
    case Cause::Other:
        return QCoreApplication::translate("PortProblem", "%1: cannot be used (%2).")
            .arg(path, systemText);
    }
    return {};
}

bool PortProblem::operator==(const PortProblem &other) const
{
    return cause == other.cause && path == other.path && holder.pid == other.holder.pid &&
           holder.program == other.holder.program && group == other.group &&
           groupMayOpen == other.groupMayOpen && owner == other.owner &&
           systemText == other.systemText;
}
