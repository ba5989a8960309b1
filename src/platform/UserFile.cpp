#include "platform/UserFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(const QString &path, const QString &why)
{
    return QStringLiteral("%1: cannot be read: %2").arg(path, why);
}

QString systemReason(const QString &path, int errorNumber)
{
    return reason(path, QString::fromLocal8Bit(std::strerror(errorNumber)));
}

// What a path that is not a regular file is, for the reason.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a regular file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a FIFO (named pipe), not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a regular file");
    return QStringLiteral("it is not a regular file");
}

} // namespace

int UserFile::open(const QString &path, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    // Looked at before it is opened: opening a serial device alone can change its lines.
    struct stat seen
    {
    };
    if (::stat(native.constData(), &seen) != 0) {
        *error = systemReason(path, errno);
        return -1;
    }
    if (!S_ISREG(seen.st_mode)) {
        *error = reason(path, kindOf(seen.st_mode));
        return -1;
    }
    // Without blocking, and looked at again once open: the path may have been swapped for a FIFO
    // in between.
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *error = systemReason(path, errno);
        return -1;
    }
    struct stat opened
    {
    };
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        const int saved = errno;
        *error = S_ISREG(opened.st_mode) ? systemReason(path, saved)
                                         : reason(path, kindOf(opened.st_mode));
        ::close(fd);
        return -1;
    }
    return fd;
}

QString UserFile::problem(const QString &path)
{
    QString error;
    const int fd = open(path, &error);
    if (fd >= 0)
        ::close(fd);
    return error;
}

bool UserFile::read(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    const int fd = open(path, error);
    if (fd < 0)
        return false;
    QByteArray into;
    char chunk[16 * 1024];
    bool ok = true;
    while (into.size() < maxBytes) {
        const qint64 want = std::min<qint64>(qint64(sizeof chunk), maxBytes - into.size());
        const ssize_t n = ::read(fd, chunk, std::size_t(want));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = systemReason(path, errno);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        into.append(chunk, int(n));
    }
    ::close(fd);
    if (ok)
        *bytes = into;
    return ok;
}
