#include "sila/SilaOptions.h"

#include "platform/EscapedText.h"
#include "platform/ListeningAddresses.h"
#include "platform/UserFile.h"
#include "pump/ServiceConfigFile.h"
#include "sila/SilaIdentity.h"

#include <QRegularExpression>

#include <arpa/inet.h>

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

QString SilaOptions::listenHost() const
{
    if (!host.isEmpty())
        return host;
    // gRPC takes IPv6 too on this wildcard where the machine has it.
    return clientCaFile.isEmpty() ? QStringLiteral("localhost") : QStringLiteral("0.0.0.0");
}

bool SilaOptions::controlForAnyone() const
{
    return allowControl && clientCaFile.isEmpty() && !ListeningAddresses::loopback(listenHost());
}

QString SilaOptions::listenAddress(quint16 boundPort) const
{
    const QString shown = listenHost();
    const bool v6 = shown.contains(QLatin1Char(':'));
    return (v6 ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(shown).arg(boundPort);
}

void SilaOptions::readCredentials(const QString &folder)
{
    if (folder.isEmpty())
        return;
    // A blank credential stands for one the service does not need: the unit gives one when the
    // file is missing.
    const QString keyPath = folder + QStringLiteral("/key");
    QByteArray text;
    QString unused;
    if (UserFile::read(keyPath, 64 * 1024, &text, &unused) && !text.trimmed().isEmpty())
        keyFile = keyPath;
}

QStringList SilaOptions::exposedSecrets() const
{
    if (keyFile.isEmpty() || !Pump::ServiceConfigFile::othersMayRead(keyFile))
        return {};
    return {QStringLiteral("warning: %1 holds the server's key and its group or others may "
                           "read it; make it readable by the server's user alone (chmod 600)")
                .arg(keyFile)};
}

bool SilaOptions::take(const QString &key, const QString &value, QString *why)
{
    using File = Pump::ServiceConfigFile;
    if (key == QLatin1String("listen"))
        return setListen(value, why);
    if (key == QLatin1String("cert"))
        certFile = value;
    else if (key == QLatin1String("key"))
        keyFile = value;
    else if (key == QLatin1String("name"))
        name = value;
    else if (key == QLatin1String("vendor-url"))
        vendorUrl = value;
    else if (key == QLatin1String("insecure"))
        return File::flag(key, value, &insecure, why);
    else if (key == QLatin1String("client-ca"))
        clientCaFile = value;
    else if (key == QLatin1String("allow-control"))
        return takeControl(value, why);
    else if (key == QLatin1String("allow-control-for"))
        return takeControlFor(value, why);
    else if (key == QLatin1String("allow-anyone"))
        return File::flag(key, value, &allowAnyone, why);
    else if (key == QLatin1String("allow-config"))
        return File::flag(key, value, &allowConfig, why);
    else if (key == QLatin1String("discovery"))
        return File::flag(key, value, &discovery, why);
    else
        return false;
    return true;
}

bool SilaOptions::takeControl(const QString &value, QString *why)
{
    // yes or no, else the clients' names.
    bool on = false;
    QString notFlag;
    if (Pump::ServiceConfigFile::flag(QStringLiteral("allow-control"), value, &on, &notFlag)) {
        allowControl = on;
        controlFor.clear();
        return true;
    }
    if (!takeControlFor(value, why)) {
        *why = QStringLiteral("allow-control takes yes, no or the clients' common names "
                              "(\"lab-a, lab-b\"): %1")
                   .arg(*why);
        return false;
    }
    return true;
}

bool SilaOptions::takeControlFor(const QString &value, QString *why)
{
    QStringList names;
    if (!SilaPermission::parseNames(value, &names, why))
        return false;
    allowControl = true;
    controlFor = names;
    return true;
}

bool SilaOptions::readConfig(const QString &path, QString *error)
{
    return Pump::ServiceConfigFile::read(
        path, &port, &address,
        [&](const QString &key, const QString &value, QString *why) {
            return take(key, value, why);
        },
        error);
}

QString SilaOptions::problem() const
{
    if (listenBad)
        return QStringLiteral("the listen address is not HOST:PORT");
    if (insecure && (!certFile.isEmpty() || !keyFile.isEmpty()))
        return QStringLiteral("--insecure serves plain text: it takes no certificate or key");
    if (certFile.isEmpty() != keyFile.isEmpty())
        return QStringLiteral("a certificate needs its key, and a key its certificate");
    if (insecure && !clientCaFile.isEmpty())
        return QStringLiteral("--insecure has no TLS and so no client certificates: a client "
                              "authority needs TLS");
    if (allowControl && !controlFor.isEmpty() && clientCaFile.isEmpty())
        return QStringLiteral("control for named clients needs a client authority "
                              "(--client-ca): only a certificate it signed gives a client a "
                              "name the server can trust");
    if (controlForAnyone() && !allowAnyone)
        return QStringLiteral("listening on %1 with control allowed and no client authority "
                              "lets anyone who reaches it run the pump: listen on loopback "
                              "(localhost:%2), give a client authority (--client-ca FILE), or "
                              "accept that with --allow-anyone")
            .arg(listenAddress())
            .arg(listenPort);
    for (const QString &file : {certFile, keyFile, clientCaFile}) {
        const QString unreadable = file.isEmpty() ? QString() : UserFile::problem(file);
        if (!unreadable.isEmpty())
            return unreadable;
    }
    if (!vendorUrl.isEmpty()) {
        const QString bad = vendorUrlProblem(vendorUrl);
        if (!bad.isEmpty())
            return bad;
    }
    if (!name.isEmpty())
        return SilaIdentity::nameProblem(name);
    return QString();
}

QString SilaOptions::vendorUrlProblem(const QString &url)
{
    // The feature's own pattern, https?://.+, and what a client can show on one line.
    constexpr int Longest = 2048;
    static const QRegularExpression form(QStringLiteral("^https?://[!-~]+$"));
    if (url.size() > Longest)
        return QStringLiteral("the vendor URL has %1 characters, more than %2")
            .arg(url.size())
            .arg(Longest);
    if (!form.match(url).hasMatch())
        return QStringLiteral("the vendor URL must start with http:// or https:// and hold no "
                              "blank or control character: %1")
            .arg(EscapedText::text(url));
    return QString();
}
