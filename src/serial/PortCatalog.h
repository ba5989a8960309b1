#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <QStringList>

#include <functional>

// The ports the operator can choose from: the system's serial ports, listed by name; the stable
// names udev gives USB adapters in /dev/serial/by-id (DOSETTA_BY_ID_DIR replaces that folder),
// listed by the adapter's description with its current device name and chosen by their path, so
// the choice survives a replug that renames the device; and the device paths in the environment
// variable DOSETTA_PORTS (colon-separated), listed by full path (pseudo-terminals such as the pump
// simulator's are not in the system's list).
class PortCatalog
{
public:
    struct Entry
    {
        QString name;         // shown in the list; stored in the settings when info is null
        QString location;     // what the link opens; stored when info is null
        QSerialPortInfo info; // the system's description; null for a listed path

        bool operator==(const Entry &other) const
        {
            return name == other.name && location == other.location;
        }
    };
    using Source = std::function<QList<Entry>()>;

    static QList<Entry> scan();
    static QList<Entry> systemPorts();
    static QList<Entry> byIdPorts();
    static QList<Entry> environmentPorts();
    // The folder of stable names: DOSETTA_BY_ID_DIR when set, else /dev/serial/by-id.
    static QString byIdFolder();
    // "FTDI FT232R USB UART A50285BI (ttyUSB0)" for the link
    // "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" to /dev/ttyUSB0.
    static QString byIdDescription(const QString &linkName, const QString &devicePath);
    // Changes whenever scan() may: the kernel's serial devices (/sys/class/tty), the stable links
    // and where each leads, the listed paths. A small fraction of a scan's cost (the system's
    // port list asks udev about every terminal device, some 15 ms).
    static QStringList signature();
    // Replaces the scan, for tests; an empty function restores the real one.
    static void setSource(Source source);
};
