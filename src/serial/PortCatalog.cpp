#include "serial/PortCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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
    return systemPorts() + byIdPorts() + environmentPorts();
}

QList<PortCatalog::Entry> PortCatalog::systemPorts()
{
    QList<Entry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.portName(), info.systemLocation(), info});
    return entries;
}

QString PortCatalog::byIdFolder()
{
    const QString folder = qEnvironmentVariable("DOSETTA_BY_ID_DIR");
    return folder.isEmpty() ? QStringLiteral("/dev/serial/by-id") : folder;
}

QList<PortCatalog::Entry> PortCatalog::byIdPorts()
{
    QList<Entry> entries;
    const QDir folder(byIdFolder());
    const QFileInfoList links =
        folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink())
            continue;
        const QString device = link.canonicalFilePath();
        if (device.isEmpty())
            continue; // a link left behind by an adapter that is gone
        entries.append(
            {byIdDescription(link.fileName(), device), link.absoluteFilePath(), QSerialPortInfo()});
    }
    return entries;
}

QString PortCatalog::byIdDescription(const QString &linkName, const QString &devicePath)
{
    // udev builds the name from bus, vendor, model and serial number joined by "_" (blanks in
    // them became "_" too), then the interface: "usb-<vendor>_<model>_<serial>-if00-port0".
    static const QRegularExpression bus(QStringLiteral("^[a-z]+-"));
    static const QRegularExpression interface(QStringLiteral("-if[0-9a-fA-F]+(-port[0-9]+)?$"));
    static const QRegularExpression escaped(QStringLiteral("\\\\x([0-9a-fA-F]{2})"));
    QString text = linkName;
    text.remove(bus).remove(interface);
    QRegularExpressionMatch m;
    while ((m = escaped.match(text)).hasMatch())
        text.replace(m.capturedStart(), m.capturedLength(),
                     QChar(m.captured(1).toUShort(nullptr, 16)));
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    text = text.simplified();
    if (text.isEmpty())
        text = linkName;
    const QString kernel =
        devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    return text + QStringLiteral(" (") + kernel + QLatin1Char(')');
}

QList<PortCatalog::Entry> PortCatalog::environmentPorts()
{
    QList<Entry> entries;
    const QString value = qEnvironmentVariable("DOSETTA_PORTS");
    for (const QString &path : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        entries.append({path, path, QSerialPortInfo()});
    return entries;
}

QStringList PortCatalog::signature()
{
    QStringList parts;
    if (overriddenSource()) {
        for (const Entry &entry : overriddenSource()())
            parts << entry.name + QLatin1Char('>') + entry.location;
        return parts;
    }
    parts = QDir(QStringLiteral("/sys/class/tty"))
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QFileInfoList links =
        QDir(byIdFolder())
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    // Whether the target is there counts too: a test's pseudo-terminal may come back under the
    // same name.
    for (const QFileInfo &link : links)
        parts << link.absoluteFilePath() + (link.exists() ? QLatin1Char('>') : QLatin1Char('|')) +
                     link.symLinkTarget();
    parts << qEnvironmentVariable("DOSETTA_PORTS");
    return parts;
}

void PortCatalog::setSource(Source source)
{
    overriddenSource() = std::move(source);
}
