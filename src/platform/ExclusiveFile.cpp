#include "platform/ExclusiveFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ExclusiveFile::~ExclusiveFile()
{
    close();
}

bool ExclusiveFile::fail(int errorNumber)
{
    error = QString::fromLocal8Bit(std::strerror(errorNumber));
    return false;
}

bool ExclusiveFile::create(const QString &path)
{
    close();
    error.clear();
    written = 0;
    nativePath = QFile::encodeName(path);
    fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    return true;
}

bool ExclusiveFile::append(const QByteArray &bytes)
{
    if (fd < 0)
        return fail(EBADF);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int reason = n < 0 ? errno : ENOSPC;
            // Keep the file whole: a half line would spoil it for every reader.
            if (done > 0 && ::ftruncate(fd, written) == 0)
                ::lseek(fd, written, SEEK_SET);
            return fail(reason);
        }
        done += n;
    }
    written += done;
    return true;
}

bool ExclusiveFile::sync()
{
    if (fd < 0)
        return fail(EBADF);
    if (::fdatasync(fd) != 0 && errno != EINVAL) // EINVAL: a file that cannot sync (a pipe)
        return fail(errno);
    return true;
}

bool ExclusiveFile::stillAtPath() const
{
    if (fd < 0)
        return false;
    struct stat open
    {
    };
    struct stat named
    {
    };
    if (::fstat(fd, &open) != 0 || open.st_nlink == 0)
        return false;
    if (::stat(nativePath.constData(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void ExclusiveFile::close()
{
    if (fd < 0)
        return;
    ::close(fd);
    fd = -1;
}
