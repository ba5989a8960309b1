#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openRetrying(const QByteArray &path, int flags, mode_t mode = 0)
{
    int handle = -1;
    do {
        handle = ::open(path.constData(), flags, mode);
    } while (handle < 0 && errno == EINTR);
    return handle;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The runtime directory the session manager made for us: a directory we own and may write.
bool usableRuntimeDirectory(const QString &path)
{
    struct stat info
    {
    };
    const QByteArray native = QFile::encodeName(path);
    return ::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && ::access(native.constData(), W_OK | X_OK) == 0;
}

// Creates or checks the private fallback folder; empty on success, else why it was refused.
QString claimPrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("%1: %2").arg(path, systemError(errno));
    // Checked on the opened folder itself, so it cannot be swapped between check and use.
    const int folder = openRetrying(native, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        const int error = errno;
        return error == ELOOP || error == ENOTDIR
                   ? QStringLiteral("%1 is not a folder").arg(path)
                   : QStringLiteral("%1: %2").arg(path, systemError(error));
    }
    struct stat info
    {
    };
    const bool statted = ::fstat(folder, &info) == 0;
    ::close(folder);
    if (!statted)
        return QStringLiteral("%1: %2").arg(path, systemError(errno));
    if (info.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("%1 can be written by others").arg(path);
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("%1: %2").arg(path, systemError(errno));
    return {};
}

} // namespace

InstanceLock::InstanceLock(const QString &name)
    : InstanceLock(name, directory())
{}

InstanceLock::InstanceLock(const QString &name, const QString &folder)
{
    if (folder.isEmpty())
        return;
    filePath = QDir(folder).filePath(name + QStringLiteral(".lock"));
    // No symbolic links: a planted link must not make us create or lock a file elsewhere.
    // Close-on-exec: a child process must not inherit, and so keep alive, the parent's lock.
    const int handle =
        openRetrying(QFile::encodeName(filePath), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (handle < 0)
        return;
    int rc = -1;
    do {
        rc = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(handle);
        return;
    }
    fd = handle;
}

InstanceLock::~InstanceLock()
{
    // The file stays: removing it could let a second holder lock a new file of the same name
    // while the first still holds the old one.
    if (fd >= 0)
        ::close(fd);
}

QString InstanceLock::directory(QString *problem)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && usableRuntimeDirectory(runtime))
        return runtime;
    // A folder of the user's own, so that another user's lock files never count as taken.
    const QString own = QDir::temp().filePath(QStringLiteral("dosetta-%1").arg(::getuid()));
    const QString refused = claimPrivateFolder(own);
    if (refused.isEmpty())
        return own;
    if (problem != nullptr) {
        *problem = runtime.isEmpty()
                       ? refused
                       : QStringLiteral("XDG_RUNTIME_DIR %1 is no folder of ours, and %2")
                             .arg(runtime, refused);
    }
    return {};
}
