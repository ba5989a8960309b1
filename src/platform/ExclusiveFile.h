#pragma once

#include <QByteArray>
#include <QString>

// A file this program creates and appends to, one write per call with no buffer of its own, so
// that whatever a call wrote is with the operating system when it returns. Creating never
// replaces an existing file. Failures keep the system's reason ("No space left on device").
class ExclusiveFile
{
public:
    ExclusiveFile() = default;
    ~ExclusiveFile();

    ExclusiveFile(const ExclusiveFile &) = delete;
    ExclusiveFile &operator=(const ExclusiveFile &) = delete;

    // Fails when the path exists (whatever it is) or cannot be created.
    bool create(const QString &path);
    // All of the bytes or nothing: a write that fails half-way is cut back off the file.
    bool append(const QByteArray &bytes);
    // Pushes what was written to the storage device.
    bool sync();
    // True while the path still names the file that was created (not removed, renamed or
    // replaced).
    bool stillAtPath() const;
    void close();

    bool isOpen() const { return fd >= 0; }
    qint64 size() const { return written; }
    // The system's reason for the last failure.
    QString errorString() const { return error; }

private:
    bool fail(int errorNumber);

    int fd = -1;
    QByteArray nativePath;
    qint64 written = 0;
    QString error;
};
