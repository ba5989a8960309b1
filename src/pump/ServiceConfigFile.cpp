#include "pump/ServiceConfigFile.h"

#include "platform/UserFile.h"
#include "pump/KeyTable.h"

#include <QFile>

#include <sys/stat.h>

namespace Pump {

bool ServiceConfigFile::read(const QString &path, QString *port, int *address, const Take &take,
                             QString *error)
{
    // A few dozen short lines; one byte more than allowed tells a file that is too long.
    QByteArray text;
    if (!UserFile::read(path, MaxBytes + 1, &text, error))
        return false;
    if (text.size() > MaxBytes) {
        *error = QStringLiteral("%1: longer than %2 bytes").arg(path).arg(MaxBytes);
        return false;
    }
    const QList<QByteArray> lines = text.split('\n');
    int number = 0;
    for (const QByteArray &bytes : lines) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = line.indexOf(QLatin1Char('='));
        QString why;
        if (equals < 0) {
            why = QStringLiteral("not a \"key = value\" line");
        } else {
            const QString key = line.left(equals).trimmed();
            const QString value = line.mid(equals + 1).trimmed();
            if (key == QLatin1String("port")) {
                *port = value;
            } else if (key == QLatin1String("address")) {
                bool ok = false;
                *address = value.toInt(&ok, 10);
                if (!ok || *address < 0 || *address > KeyTable::HighestAddress)
                    why = QStringLiteral("address takes 0-%1, not \"%2\"")
                              .arg(KeyTable::HighestAddress)
                              .arg(value);
            } else if (!take(key, value, &why) && why.isEmpty()) {
                why = unknownKey(key);
            }
        }
        if (!why.isEmpty()) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(why);
            return false;
        }
    }
    return true;
}

bool ServiceConfigFile::flag(const QString &key, const QString &value, bool *target, QString *why)
{
    const std::optional<bool> on = yesNo(value);
    if (!on) {
        *why = QStringLiteral("%1 takes yes or no, not \"%2\"").arg(key, value);
        return false;
    }
    *target = *on;
    return true;
}

QString ServiceConfigFile::unknownKey(const QString &key)
{
    return QStringLiteral("unknown key \"%1\"").arg(key);
}

bool ServiceConfigFile::othersMayRead(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

std::optional<bool> ServiceConfigFile::yesNo(const QString &text)
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

} // namespace Pump
