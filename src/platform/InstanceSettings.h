#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The settings of this running copy. Every copy takes the lowest free instance number and keeps
// its port and communication address under a group of its own ("DOSETTA_INSTANCE_<n>"), so that
// several copies can run side by side, each on its own port.
class InstanceSettings
{
public:
    // Instance numbers tried before giving up; a copy that finds none free runs unlocked as
    // number MaxInstances + 1.
    static constexpr int MaxInstances = 255;
    static constexpr int DefaultAddress = 0;
    static constexpr int HighestAddress = 99;

    static QString organizationName() { return QStringLiteral("Halvo Dorvex"); }
    static QString organizationDomain() { return QStringLiteral("halvo-dorvex.com"); }
    static QString applicationName() { return QStringLiteral("Fluxo Remote Control"); }
    static QString groupPrefix() { return QStringLiteral("DOSETTA_INSTANCE_"); }
    static QString lockPrefix() { return QStringLiteral("DOSETTA_"); }
    // The closing parenthesis is part of the key under which every copy finds its port.
    static QString portKey() { return QStringLiteral("Communication/Port)"); }
    static QString addressKey() { return QStringLiteral("Communication/Address"); }
    static QString defaultPort() { return QStringLiteral("COM1"); }

    // Found on the first call and then cached; the number stays taken until the process ends.
    static int instanceNumber();
    // Organization, domain and application name of the application object.
    static void setApplicationNames();

    // Finds the instance number, sets the names, creates the settings and the group, in this
    // order.
    InstanceSettings();

    InstanceSettings(const InstanceSettings &) = delete;
    InstanceSettings &operator=(const InstanceSettings &) = delete;

    int number() const { return instance; }
    QString settingsGroup() const { return group; }
    // Group and key joined with "/".
    QString key(const QString &name) const;
    QSettings &settings() { return *store; }

    // The stored port name; "COM1" when none is stored or the stored value is not a text.
    QString port() const;
    void setPort(const QString &name);
    // The stored address 0-99; 0 when none is stored or the stored value is not such a number.
    int address() const;
    void setAddress(int address);

private:
    int instance = 0;
    QString group;
    std::unique_ptr<QSettings> store;
};
