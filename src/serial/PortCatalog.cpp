#include "serial/PortCatalog.h"

#include <QtGlobal>

namespace {

PortCatalog::Source &overriddenSource()
{
    static PortCatalog::Source source;
    return source;
}

} // namespace

QList<PortCatalog::Entry> PortCatalog::scan()
{
    if (overriddenSource())
        return overriddenSource()();
    return systemPorts() + environmentPorts();
}

QList<PortCatalog::Entry> PortCatalog::systemPorts()
{
    QList<Entry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.portName(), info.systemLocation(), info});
    return entries;
}

QList<PortCatalog::Entry> PortCatalog::environmentPorts()
{
    QList<Entry> entries;
    const QString value = qEnvironmentVariable("DOSETTA_PORTS");
    for (const QString &path : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        entries.append({path, path, QSerialPortInfo()});
    return entries;
}

void PortCatalog::setSource(Source source)
{
    overriddenSource() = std::move(source);
}
