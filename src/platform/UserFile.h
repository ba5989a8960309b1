#pragma once

#include <QByteArray>
#include <QString>

// A file whose path a user gave: an option, a key of a configuration file, a program path. Only a
// regular file is read, opened without blocking and read up to a bound, so that a FIFO waiting
// for a writer, a device or a folder is refused at once with what it is. Every reason reads
// "PATH: cannot be read: WHY".
class UserFile
{
public:
    // Empty when path names a regular file that this process may open for reading.
    static QString problem(const QString &path);
    // At most maxBytes of the file; a caller that passes its limit plus one tells a file that is
    // too long. False with the reason when it is no regular file or cannot be read.
    static bool read(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error);

private:
    // The open descriptor, or -1 with *error set.
    static int open(const QString &path, QString *error);
};
