#pragma once

#include <QString>

// A system-wide named object that tells whether some running process already holds it: an
// exclusive flock on "<name>.lock" in the user's runtime directory. The kernel drops the lock when
// the holder ends, however it ends (SIGKILL included), so a crashed copy never blocks its name.
class InstanceLock
{
public:
    // Locks "<name>.lock" in the folder directory() finds, or in the given folder.
    explicit InstanceLock(const QString &name);
    InstanceLock(const QString &name, const QString &folder);
    ~InstanceLock();

    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when this object holds the name; false when another holder has it or the lock file
    // could not be used at all (a symbolic link, a folder that cannot be used: both count as
    // taken).
    bool acquired() const { return fd >= 0; }
    QString path() const { return filePath; }

    // The user's runtime directory ($XDG_RUNTIME_DIR), else a folder of the user's own,
    // "dosetta-<uid>" in the temporary directory, created with mode 0700. A folder of that name
    // that is a symbolic link, belongs to someone else or can be written by others is refused:
    // another user could otherwise take or fake our locks. Empty when no folder can be used;
    // problem then says why.
    static QString directory(QString *problem = nullptr);

private:
    QString filePath;
    int fd = -1;
};
