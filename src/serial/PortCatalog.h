#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>

#include <functional>

// The ports the operator can choose from: the system's serial ports, listed by name, and the
// device paths in the environment variable DOSETTA_PORTS (colon-separated), listed by full path
// (pseudo-terminals such as the pump simulator's are not in the system's list).
class PortCatalog
{
public:
    struct Entry
    {
        QString name;         // shown in the list and stored in the settings
        QString location;     // what the link opens
        QSerialPortInfo info; // the system's description; null for a listed path
    };
    using Source = std::function<QList<Entry>()>;

    static QList<Entry> scan();
    static QList<Entry> systemPorts();
    static QList<Entry> environmentPorts();
    // Replaces the scan, for tests; an empty function restores the real one.
    static void setSource(Source source);
};
