#include "sila/SilaOptions.h"

#include "pump/KeyTable.h"

#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <optional>
#include <sys/stat.h>

namespace {

std::optional<bool> yesNo(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("on") ||
        t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("off") ||
        t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

constexpr int MaxNameLength = 255;

} // namespace

bool SilaOptions::setListen(const QString &text, QString *error)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString hostPart = text.left(colon);
    const QString portPart = text.mid(colon + 1);
    bool ok = colon > 0;
    const uint number = portPart.toUInt(&ok, 10);
    ok = ok && colon > 0 && number <= 65535;
    if (ok && hostPart.startsWith(QLatin1Char('['))) {
        // A bracketed host is an IPv6 address and nothing else.
        ok = hostPart.endsWith(QLatin1Char(']'));
        hostPart = hostPart.mid(1, hostPart.size() - 2);
        in6_addr parsed{};
        ok = ok && ::inet_pton(AF_INET6, hostPart.toLatin1().constData(), &parsed) == 1;
    } else if (ok) {
        // Unbracketed: a name or an IPv4 address; a bare IPv6 address would be ambiguous.
        static const QString allowed = QStringLiteral("abcdefghijklmnopqrstuvwxyz"
                                                      "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-");
        ok = !hostPart.isEmpty() && hostPart.size() <= 253;
        for (const QChar c : hostPart)
            ok = ok && allowed.contains(c);
    }
    if (!ok) {
        *error = QStringLiteral("\"%1\" is not HOST:PORT such as 0.0.0.0:%2, localhost:%2 or "
                                "[::1]:%2 (port 0-65535, 0 for any free one)")
                     .arg(text)
                     .arg(DefaultPort);
        listenBad = true;
        return false;
    }
    host = hostPart;
    listenPort = quint16(number);
    listenBad = false;
    return true;
}

QString SilaOptions::listenAddress(quint16 boundPort) const
{
    const bool v6 = host.contains(QLatin1Char(':'));
    return (v6 ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host).arg(boundPort);
}

void SilaOptions::readCredentials(const QString &folder)
{
    if (folder.isEmpty())
        return;
    // A blank credential stands for one the service does not need: the unit gives one when the
    // file is missing.
    const QString keyPath = folder + QStringLiteral("/key");
    QFile file(keyPath);
    if (file.open(QIODevice::ReadOnly) && !file.read(64 * 1024).trimmed().isEmpty())
        keyFile = keyPath;
}

QStringList SilaOptions::exposedSecrets() const
{
    struct stat info
    {
    };
    // The file itself, through any link: its mode is what guards the key.
    if (keyFile.isEmpty() || ::stat(QFile::encodeName(keyFile).constData(), &info) != 0 ||
        (info.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return {};
    return {QStringLiteral("warning: %1 holds the server's key and its group or others may "
                           "read it; make it readable by the server's user alone (chmod 600)")
                .arg(keyFile)};
}

bool SilaOptions::readConfig(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        const auto fail = [&](const QString &why) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(why);
            return false;
        };
        if (equals < 0)
            return fail(QStringLiteral("not a \"key = value\" line"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("port"))
            port = value;
        else if (key == QLatin1String("address")) {
            bool ok = false;
            address = value.toInt(&ok, 10);
            if (!ok || address < 0 || address > Pump::KeyTable::HighestAddress)
                return fail(QStringLiteral("address takes 0-%1, not \"%2\"")
                                .arg(Pump::KeyTable::HighestAddress)
                                .arg(value));
        } else if (key == QLatin1String("listen")) {
            QString why;
            if (!setListen(value, &why))
                return fail(why);
        } else if (key == QLatin1String("cert"))
            certFile = value;
        else if (key == QLatin1String("key"))
            keyFile = value;
        else if (key == QLatin1String("name"))
            name = value;
        else if (key == QLatin1String("insecure") || key == QLatin1String("allow-control") ||
                 key == QLatin1String("discovery")) {
            const std::optional<bool> on = yesNo(value);
            if (!on)
                return fail(QStringLiteral("%1 takes yes or no, not \"%2\"").arg(key, value));
            (key == QLatin1String("insecure")        ? insecure
             : key == QLatin1String("allow-control") ? allowControl
                                                     : discovery) = *on;
        } else {
            return fail(QStringLiteral("unknown key \"%1\"").arg(key));
        }
    }
    return true;
}

QString SilaOptions::problem() const
{
    if (listenBad)
        return QStringLiteral("the listen address is not HOST:PORT");
    if (insecure && (!certFile.isEmpty() || !keyFile.isEmpty()))
        return QStringLiteral("--insecure serves plain text: it takes no certificate or key");
    if (certFile.isEmpty() != keyFile.isEmpty())
        return QStringLiteral("a certificate needs its key, and a key its certificate");
    for (const QString &file : {certFile, keyFile}) {
        if (!file.isEmpty() && !QFileInfo(file).isReadable())
            return QStringLiteral("%1 cannot be read").arg(file);
    }
    if (name.size() > MaxNameLength || name.contains(QLatin1Char('\n')))
        return QStringLiteral("a server name is one line of at most %1 characters")
            .arg(MaxNameLength);
    return QString();
}
