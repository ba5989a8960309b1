#pragma once

#include <QString>
#include <QStringList>

// The process that holds a serial device, as far as the system tells: a lock file in the lock
// folders (the "LCK..<name>" files that Qt, minicom, cu and others leave there while they use a
// port), else a process with the device open, found in /proc. Either may stay unknown: another
// user's processes are hidden from us.
class PortHolder
{
public:
    QString program; // "dosetta"; empty when unknown
    qint64 pid = 0;  // 0 when unknown

    bool known() const { return pid > 0; }

    // The live process named by a lock file of one of these device paths (the path chosen and
    // the device it leads to lock under different names).
    static PortHolder fromLockFiles(const QStringList &devicePaths);
    // The first process other than this one that has the device open; this process only when no
    // other has.
    static PortHolder fromProcesses(const QString &devicePath);
    // Lock file names for a device path, as Qt's serial port builds them: "/dev/ttyUSB0" gives
    // "LCK..ttyUSB0", "/dev/serial/by-id/x" gives "LCK..serial_by-id_x".
    static QString lockFileName(const QString &devicePath);
    // The folders searched for lock files.
    static QStringList lockFolders();
    // Program name of a running process (its command name); empty when it is gone.
    static QString programOf(qint64 pid);
};
