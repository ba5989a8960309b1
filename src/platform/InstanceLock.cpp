#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::InstanceLock(const QString &name)
    : filePath(QDir(directory()).filePath(name + QStringLiteral(".lock")))
{
    const QByteArray native = QFile::encodeName(filePath);
    // Close-on-exec: a child process must not inherit, and so keep alive, the parent's lock.
    int handle = -1;
    do {
        handle = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (handle < 0 && errno == EINTR);
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

QString InstanceLock::directory()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    // A directory of the user's own, so that another user's lock files never count as taken.
    const QString own = QDir::temp().filePath(QStringLiteral("dosetta-%1").arg(::getuid()));
    QDir().mkpath(own);
    QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return own;
}
