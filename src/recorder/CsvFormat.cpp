#include "recorder/CsvFormat.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <array>
#include <iterator>

namespace {

// The program's two columns came last, so that readers of the older files find theirs in place.
constexpr std::array<const char *, 14> columnNames{"time_utc",
                                                   "elapsed_s",
                                                   "link",
                                                   "run_state",
                                                   "mode",
                                                   "flow_rate_ml_min",
                                                   "volume_target_ml",
                                                   "volume_delivered_ml",
                                                   "time_elapsed_s",
                                                   "dispense_time_s",
                                                   "status",
                                                   "errors",
                                                   "program",
                                                   "step"};

QString digits(qint64 n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

QString optionalFixed(const std::optional<qint64> &value, int decimals, int dropDigits = 0)
{
    if (!value)
        return QString();
    qint64 v = *value;
    for (int i = 0; i < dropDigits; ++i)
        v /= 10;
    return CsvFormat::fixed(v, decimals);
}

} // namespace

QStringList CsvFormat::columns()
{
    QStringList names;
    for (const char *name : columnNames)
        names << QLatin1String(name);
    return names;
}

QByteArray CsvFormat::header()
{
    return columns().join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray CsvFormat::row(const ProcessSample &sample, qint64 startMs)
{
    const QString fields[] = {
        isoUtc(sample.timeMs),
        fixed(sample.timeMs - startMs, 3),
        ProcessSample::linkText(sample.link),
        ProcessSample::runStateText(sample.runState),
        ProcessSample::modeText(sample.mode),
        optionalFixed(sample.flowRate, 3),
        optionalFixed(sample.volumeTarget, 3),
        optionalFixed(sample.volumeDelivered, 3),
        // The pump counts hundredths of a second.
        optionalFixed(sample.timeElapsedMs, 2, 1),
        sample.dispenseTimeS ? QString::number(*sample.dispenseTimeS) : QString(),
        sample.status ? flags(*sample.status) : QString(),
        sample.errors ? flags(*sample.errors) : QString(),
        sample.program,
        sample.step,
    };
    QString line;
    line.reserve(160);
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        line += field(fields[i]);
    }
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

QString CsvFormat::field(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvFormat::fixed(qint64 units, int decimals)
{
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // Integer arithmetic throughout: no rounding, and no locale has a say.
    const bool negative = units < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(units) : quint64(units);
    QString text = negative ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / quint64(scale));
    if (decimals > 0)
        text += QLatin1Char('.') + digits(qint64(magnitude % quint64(scale)), decimals);
    return text;
}

QString CsvFormat::isoUtc(qint64 msSinceEpoch)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC);
    const QDate d = t.date();
    const QTime c = t.time();
    return digits(d.year(), 4) + QLatin1Char('-') + digits(d.month(), 2) + QLatin1Char('-') +
           digits(d.day(), 2) + QLatin1Char('T') + digits(c.hour(), 2) + QLatin1Char(':') +
           digits(c.minute(), 2) + QLatin1Char(':') + digits(c.second(), 2) + QLatin1Char('.') +
           digits(c.msec(), 3) + QLatin1Char('Z');
}

QString CsvFormat::flags(const QStringList &texts)
{
    return texts.join(QLatin1Char('|'));
}
