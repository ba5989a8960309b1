#pragma once

#include <QString>

// A system-wide named object that tells whether some running process already holds it: an
// exclusive flock on "<name>.lock" in the user's runtime directory. The kernel drops the lock when
// the holder ends, however it ends (SIGKILL included), so a crashed copy never blocks its name.
class InstanceLock
{
public:
    explicit InstanceLock(const QString &name);
    ~InstanceLock();

    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when this object holds the name; false when another holder has it or the lock file
    // could not be used at all (both count as taken).
    bool acquired() const { return fd >= 0; }
    QString path() const { return filePath; }

    // The user's runtime directory, or a directory of the user's own in the temporary directory
    // when there is none.
    static QString directory();

private:
    QString filePath;
    int fd = -1;
};
