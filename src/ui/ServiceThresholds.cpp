#include "ui/ServiceThresholds.h"

#include "platform/InstanceSettings.h"

#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace {

// A pump's name holds slashes ("/dev/ttyUSB0:1"), which the settings would take as groups.
QString group(const QString &pump)
{
    return QStringLiteral("Service/") + QString::fromLatin1(QUrl::toPercentEncoding(pump));
}

} // namespace

JournalTotals::Thresholds ServiceThresholds::load(const QString &pump)
{
    QSettings s(InstanceSettings::organizationName(), InstanceSettings::applicationName());
    s.beginGroup(group(pump));
    JournalTotals::Thresholds limits;
    limits.volumeMl = std::max(0.0, s.value(QStringLiteral("service-volume-ml"), 0).toDouble());
    limits.hours = std::max(0.0, s.value(QStringLiteral("service-hours"), 0).toDouble());
    return limits;
}

void ServiceThresholds::store(const QString &pump, const JournalTotals::Thresholds &limits)
{
    QSettings s(InstanceSettings::organizationName(), InstanceSettings::applicationName());
    s.beginGroup(group(pump));
    s.setValue(QStringLiteral("service-volume-ml"), std::max(0.0, limits.volumeMl));
    s.setValue(QStringLiteral("service-hours"), std::max(0.0, limits.hours));
}
