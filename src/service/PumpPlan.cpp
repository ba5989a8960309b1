#include "service/PumpPlan.h"

#include "pump/KeyTable.h"

namespace {

const QLatin1String silaPrefix("sila-");

} // namespace

bool PumpPlan::take(const QString &key, const QString &value, const QString &file, QString *why)
{
    bool taken = false;
    if (key == QLatin1String("port")) {
        taken = !value.isEmpty();
        if (taken)
            port = value;
        else
            *why = QStringLiteral("port needs a port name or path");
    } else if (key == QLatin1String("address")) {
        bool ok = false;
        const int number = value.toInt(&ok, 10);
        taken = ok && number >= 0 && number <= Pump::KeyTable::HighestAddress;
        if (taken)
            address = number;
        else
            *why = QStringLiteral("address takes 0-%1, not \"%2\"")
                       .arg(Pump::KeyTable::HighestAddress)
                       .arg(value);
    } else if (key == QLatin1String("sila")) {
        taken = sila.setListen(value, why);
        silaOn = silaOn || taken;
    } else if (key.startsWith(silaPrefix)) {
        // "sila-listen" would be a second name for "sila".
        const QString own = key.mid(silaPrefix.size());
        taken = own != QLatin1String("listen") && sila.take(own, value, why);
        if (taken && firstSilaKey.isEmpty())
            firstSilaKey = key;
    } else {
        taken = bridge.take(key, value, file, why);
    }
    if (taken)
        settings << key + QLatin1Char('=') + value;
    return taken;
}

QString PumpPlan::problem() const
{
    if (!mqtt() && !silaOn)
        return QStringLiteral("no broker given (--broker mqtt://HOST:PORT) and no SiLA server "
                              "(--sila HOST:PORT)");
    if (!silaOn && !firstSilaKey.isEmpty())
        return QStringLiteral("%1 is for a SiLA server: give it one with sila = HOST:PORT "
                              "(--sila HOST:PORT)")
            .arg(firstSilaKey);
    if (mqtt()) {
        const QString bad = bridge.problem();
        if (!bad.isEmpty())
            return bad;
    }
    if (silaOn) {
        const QString bad = sila.problem();
        if (!bad.isEmpty())
            return QStringLiteral("SiLA: %1").arg(bad);
    }
    return QString();
}

QString PumpPlan::pumpId(const QString &host) const
{
    if (!bridge.pumpId.isEmpty())
        return bridge.pumpId;
    if (!name.isEmpty())
        return name;
    return BridgeOptions::defaultPumpId(host, port, address);
}

QStringList PumpPlan::keys()
{
    return {QStringLiteral("port"),
            QStringLiteral("address"),
            QStringLiteral("broker"),
            QStringLiteral("id"),
            QStringLiteral("topic-prefix"),
            QStringLiteral("username"),
            QStringLiteral("password"),
            QStringLiteral("password-file"),
            QStringLiteral("ca-file"),
            QStringLiteral("cert-file"),
            QStringLiteral("key-file"),
            QStringLiteral("allow-control"),
            QStringLiteral("allow-config"),
            QStringLiteral("ha-discovery"),
            QStringLiteral("service-volume-ml"),
            QStringLiteral("service-hours"),
            QStringLiteral("sila"),
            QStringLiteral("sila-insecure"),
            QStringLiteral("sila-cert"),
            QStringLiteral("sila-key"),
            QStringLiteral("sila-client-ca"),
            QStringLiteral("sila-name"),
            QStringLiteral("sila-vendor-url"),
            QStringLiteral("sila-allow-control"),
            QStringLiteral("sila-allow-control-for"),
            QStringLiteral("sila-allow-anyone"),
            QStringLiteral("sila-allow-config"),
            QStringLiteral("sila-discovery")};
}
