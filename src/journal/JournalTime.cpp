#include "journal/JournalTime.h"

#include <QDateTime>
#include <QRegularExpression>

bool JournalTime::parse(const QString &text, qint64 *from, qint64 *to)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})(?:[T ](\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3}))?)?"
        "(Z|[+-]\\d{2}:?\\d{2})?)?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QString fraction = m.captured(7);
    const int ms = fraction.isEmpty() ? 0 : (fraction + QStringLiteral("00")).left(3).toInt();
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms);
    if (!date.isValid() || !time.isValid())
        return false;
    qint64 length = 86400000; // a date alone: the whole day
    if (!fraction.isEmpty())
        length = fraction.size() == 1 ? 100 : fraction.size() == 2 ? 10 : 1;
    else if (m.capturedLength(6) > 0)
        length = 1000;
    else if (m.capturedLength(4) > 0)
        length = 60000;
    qint64 offsetMs = 0;
    const QString zone = m.captured(8);
    if (!zone.isEmpty() && zone != QLatin1String("Z")) {
        QString digits = zone.mid(1);
        digits.remove(QLatin1Char(':'));
        const int hours = digits.left(2).toInt();
        const int minutes = digits.mid(2).toInt();
        if (hours > 23 || minutes > 59)
            return false;
        offsetMs = (hours * 60 + minutes) * 60000LL * (zone.startsWith(QLatin1Char('-')) ? -1 : 1);
    }
    *from = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() - offsetMs;
    *to = *from + length;
    return true;
}

QString JournalTime::format(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs);
}
