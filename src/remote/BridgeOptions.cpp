#include "remote/BridgeOptions.h"

#include "platform/UserFile.h"
#include "pump/ServiceConfigFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

bool BridgeOptions::readPasswordFile(const QString &path, QString *error)
{
    // The first line of a short file; a FIFO or a device is refused rather than waited on.
    QByteArray text;
    if (!UserFile::read(path, 64 * 1024, &text, error))
        return false;
    QByteArray line = text.left(text.indexOf('\n'));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    secretFiles << path;
    return true;
}

bool BridgeOptions::readCredentials(const QString &folder, QString *error)
{
    if (folder.isEmpty())
        return true;
    // A blank credential stands for one the service does not need: the unit gives one when the
    // file is missing.
    const auto blank = [](const QString &path) {
        QByteArray text;
        QString unused;
        return !UserFile::read(path, 64 * 1024, &text, &unused) || text.trimmed().isEmpty();
    };
    const QString passwordPath = folder + QStringLiteral("/password");
    if (QFileInfo(passwordPath).isFile() && !blank(passwordPath) &&
        !readPasswordFile(passwordPath, error))
        return false;
    const QString keyPath = folder + QStringLiteral("/key");
    if (QFileInfo(keyPath).isFile() && !blank(keyPath))
        keyFile = keyPath;
    return true;
}

QStringList BridgeOptions::exposedSecrets() const
{
    QStringList files = secretFiles;
    if (!keyFile.isEmpty())
        files << keyFile;
    QStringList lines;
    for (const QString &path : files) {
        if (Pump::ServiceConfigFile::othersMayRead(path) && !lines.contains(path))
            lines << QStringLiteral("warning: %1 holds a secret that its group or others may read; "
                                    "make it readable by the bridge's user alone (chmod 600)")
                         .arg(path);
    }
    return lines;
}

bool BridgeOptions::take(const QString &key, const QString &value, const QString &file,
                         QString *why)
{
    using File = Pump::ServiceConfigFile;
    if (key == QLatin1String("broker"))
        broker = value;
    else if (key == QLatin1String("id"))
        pumpId = value;
    else if (key == QLatin1String("topic-prefix"))
        topicPrefix = value;
    else if (key == QLatin1String("username"))
        username = value;
    else if (key == QLatin1String("password")) {
        password = value;
        secretFiles << file;
    } else if (key == QLatin1String("password-file"))
        return readPasswordFile(value, why);
    else if (key == QLatin1String("ca-file"))
        caFile = value;
    else if (key == QLatin1String("cert-file"))
        certFile = value;
    else if (key == QLatin1String("key-file"))
        keyFile = value;
    else if (key == QLatin1String("allow-control"))
        return File::flag(key, value, &allowControl, why);
    else if (key == QLatin1String("allow-config"))
        return File::flag(key, value, &allowConfig, why);
    else if (key == QLatin1String("ha-discovery"))
        return File::flag(key, value, &haDiscovery, why);
    else if (key == QLatin1String("service-volume-ml") || key == QLatin1String("service-hours")) {
        bool ok = false;
        const double limit = value.toDouble(&ok);
        if (!ok || !(limit > 0 && limit <= 1e12)) {
            *why = QStringLiteral("%1 takes a number above 0, not \"%2\"").arg(key, value);
            return false;
        }
        (key == QLatin1String("service-hours") ? serviceLimits.hours : serviceLimits.volumeMl) =
            limit;
    } else
        return false;
    return true;
}

bool BridgeOptions::readConfig(const QString &path, QString *error)
{
    return Pump::ServiceConfigFile::read(
        path, &port, &address,
        [&](const QString &key, const QString &value, QString *why) {
            return take(key, value, path, why);
        },
        error);
}

bool BridgeOptions::tls() const
{
    const QString scheme = QUrl(broker).scheme().toLower();
    return scheme == QLatin1String("mqtts") || scheme == QLatin1String("ssl");
}

QString BridgeOptions::serverUri() const
{
    const QUrl url(broker);
    const int port = url.port(tls() ? 8883 : 1883);
    return QStringLiteral("%1://%2:%3")
        .arg(tls() ? QStringLiteral("ssl") : QStringLiteral("tcp"), url.host())
        .arg(port);
}

QString BridgeOptions::withoutUserInfo(const QString &url)
{
    // By hand rather than by QUrl: an address too broken for QUrl must lose its password too.
    // A broker address has no path that could hold an '@', so the last one ends the user
    // information even when a password holds an unescaped '/'.
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    const int from = schemeEnd < 0 ? 0 : schemeEnd + 3;
    const int at = url.lastIndexOf(QLatin1Char('@'));
    if (at < from)
        return url;
    return url.left(from) + url.mid(at + 1);
}

QString BridgeOptions::problem() const
{
    if (broker.isEmpty())
        return QStringLiteral("no broker given (--broker mqtt://HOST:PORT)");
    if (withoutUserInfo(broker) != broker)
        return QStringLiteral("a broker address may not hold a user name or password: give "
                              "them with --username and --password-file (username and "
                              "password-file in a configuration file)");
    const QUrl url(broker, QUrl::StrictMode);
    static const QStringList schemes{QStringLiteral("mqtt"), QStringLiteral("tcp"),
                                     QStringLiteral("mqtts"), QStringLiteral("ssl")};
    if (!url.isValid() || url.host().isEmpty() || !schemes.contains(url.scheme().toLower()) ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/")))
        return QStringLiteral("\"%1\" is not a broker address such as mqtt://localhost:1883 or "
                              "mqtts://broker:8883")
            .arg(shownBroker());
    if (!pumpId.isEmpty() && !validTopicLevel(pumpId))
        return QStringLiteral("the pump id \"%1\" may not be empty or hold '/', '+' or '#'")
            .arg(pumpId);
    for (const QString &level : topicPrefix.split(QLatin1Char('/'))) {
        if (!validTopicLevel(level))
            return QStringLiteral("the topic prefix \"%1\" is not a topic").arg(topicPrefix);
    }
    if (!password.isEmpty() && username.isEmpty())
        return QStringLiteral("a password needs a username");
    for (const QString &file : {caFile, certFile, keyFile}) {
        const QString problem = file.isEmpty() ? QString() : UserFile::problem(file);
        if (!problem.isEmpty())
            return problem;
    }
    if ((!caFile.isEmpty() || !certFile.isEmpty()) && !tls())
        return QStringLiteral("certificates need a TLS broker address (mqtts://)");
    if (certFile.isEmpty() != keyFile.isEmpty())
        return QStringLiteral("a client certificate needs its key, and a key its certificate");
    return QString();
}

QString BridgeOptions::defaultPumpId(const QString &host, const QString &port, int address)
{
    QString name = port.section(QLatin1Char('/'), -1);
    QString id = QStringLiteral("%1-%2-%3").arg(host, name).arg(address);
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9_.-]"));
    return id.replace(unfit, QStringLiteral("_"));
}

bool BridgeOptions::validTopicLevel(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1Char('/')) &&
           !text.contains(QLatin1Char('+')) && !text.contains(QLatin1Char('#'));
}
