#pragma once

#include "serial/PortHolder.h"

#include <QSerialPort>
#include <QString>

// Why a serial port cannot be used, with what the operator can do about it. The window shows
// the text in its tool tips and the program prints it on standard error; a command-line tool
// shares the same causes and texts.
class PortProblem
{
public:
    enum class Cause {
        None,             // the port is open
        PermissionDenied, // the user may not open the device
        Busy,             // another program holds it
        Missing,          // no such device (unplugged, or a name that never existed)
        Other             // anything else: the system's own words
    };

    Cause cause = Cause::None;
    QString path;              // the port as chosen: a device path, a by-id path, a listed path
    PortHolder holder;         // Busy: who holds it, as far as known
    QString group;             // PermissionDenied: the device's group
    bool groupMayOpen = false; // PermissionDenied: members of that group may read and write
    QString owner;             // PermissionDenied: the device's owner
    QString systemText;        // Other: the system's reason

    // The operator's text: cause and remedy, one paragraph. Empty for None.
    QString text() const;

    // Finds out why opening `path` failed. error and systemText are what the serial port
    // reported (Qt reports a held lock file, a busy device and a denied access all as
    // PermissionError).
    static PortProblem diagnose(const QString &path, QSerialPort::SerialPortError error,
                                const QString &systemText);
    // A port that is not there.
    static PortProblem missing(const QString &path);
    // A port another program holds; the holder is looked up.
    static PortProblem busy(const QString &path);

    // The device a port path leads to (symbolic links resolved); empty when there is none.
    static QString devicePath(const QString &path);
    // "ttyUSB0" and "COM1" stand for "/dev/ttyUSB0" and "/dev/COM1"; a path stays as it is.
    static QString systemLocation(const QString &nameOrPath);

    bool operator==(const PortProblem &other) const;
    bool operator!=(const PortProblem &other) const { return !(*this == other); }
};
