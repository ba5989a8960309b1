#include "platform/InstanceSettings.h"

#include "platform/InstanceLock.h"

#include <QCoreApplication>
#include <QVariant>

#include <cstdio>

namespace {

int findInstanceNumber()
{
    // Held for the life of the process; the kernel releases it at exit.
    static std::unique_ptr<InstanceLock> held;
    QString problem;
    const QString folder = InstanceLock::directory(&problem);
    if (folder.isEmpty()) {
        // Without locks nothing tells the copies apart; the first number at least keeps the
        // operator's stored port and address.
        std::fprintf(stderr, "dosetta: no folder for instance locks (%s); running as instance 1\n",
                     qUtf8Printable(problem));
        return 1;
    }
    for (int n = 1; n <= InstanceSettings::MaxInstances; ++n) {
        auto lock = std::make_unique<InstanceLock>(
            InstanceSettings::lockPrefix() + QString::number(n), folder);
        // Taken by a running copy, or unusable: try the next number.
        if (!lock->acquired())
            continue;
        held = std::move(lock);
        return n;
    }
    return InstanceSettings::MaxInstances + 1;
}

} // namespace

int InstanceSettings::instanceNumber()
{
    static const int number = findInstanceNumber();
    return number;
}

void InstanceSettings::setApplicationNames()
{
    QCoreApplication::setOrganizationName(organizationName());
    QCoreApplication::setOrganizationDomain(organizationDomain());
    QCoreApplication::setApplicationName(applicationName());
}

InstanceSettings::InstanceSettings()
    : instance(instanceNumber())
{
    setApplicationNames();
    store = std::make_unique<QSettings>();
    group = groupPrefix() + QString::number(instance);
}

QString InstanceSettings::key(const QString &name) const
{
    return group + QLatin1Char('/') + name;
}

QString InstanceSettings::port() const
{
    const QVariant stored = store->value(key(portKey()));
    // A text store hands back lists for values with commas; only a plain text is a port name.
    if (stored.userType() == QMetaType::QString || stored.userType() == QMetaType::QByteArray)
        return stored.toString();
    return defaultPort();
}

void InstanceSettings::setPort(const QString &name)
{
    store->setValue(key(portKey()), name);
}

int InstanceSettings::address() const
{
    const QVariant stored = store->value(key(addressKey()));
    if (stored.userType() == QMetaType::QStringList || stored.userType() == QMetaType::QVariantList)
        return DefaultAddress;
    bool ok = false;
    const int address = stored.toInt(&ok);
    if (!ok || address < DefaultAddress || address > HighestAddress)
        return DefaultAddress;
    return address;
}

void InstanceSettings::setAddress(int address)
{
    store->setValue(key(addressKey()), address);
}
