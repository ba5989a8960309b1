#include "SimLog.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr qint64 DayMs = 24 * 3600 * 1000;

} // namespace

std::vector<SimLog::Entry> SimLog::parse(const QByteArray &text)
{
    static const QRegularExpression stamped(
        QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d) (rx|tx|--) (.*)$"));
    std::vector<Entry> entries;
    qint64 dayOffset = 0;
    qint64 previous = -1;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        const QRegularExpressionMatch match = stamped.match(line);
        if (!match.hasMatch())
            continue;
        qint64 ms = ((match.captured(1).toLongLong() * 60 + match.captured(2).toLongLong()) * 60 +
                     match.captured(3).toLongLong()) *
                        1000 +
                    match.captured(4).toLongLong();
        // Stamps are wall-clock times of day: a big step backwards is the midnight passing.
        if (previous >= 0 && ms + dayOffset < previous - DayMs / 2)
            dayOffset += DayMs;
        ms += dayOffset;
        previous = ms;

        Entry entry;
        entry.ms = ms;
        entry.direction = match.captured(5);
        entry.line = line;
        const QString rest = match.captured(6);
        const int start = rest.indexOf(QLatin1String("<STX>"));
        const int end = start < 0 ? -1 : rest.indexOf(QLatin1String("<ETX>"), start);
        if (start >= 0 && end > start)
            entry.body = rest.mid(start + 5, end - start - 5);
        entries.push_back(entry);
    }
    return entries;
}

QStringList SimLog::received(const std::vector<Entry> &entries)
{
    QStringList bodies;
    for (const Entry &entry : receivedEntries(entries))
        bodies << entry.body;
    return bodies;
}

std::vector<SimLog::Entry> SimLog::receivedEntries(const std::vector<Entry> &entries)
{
    std::vector<Entry> rx;
    for (const Entry &entry : entries) {
        if (entry.direction == QLatin1String("rx"))
            rx.push_back(entry);
    }
    return rx;
}

qint64 SimLog::runsTotal(const std::vector<Entry> &entries, std::size_t from)
{
    static const QRegularExpression count(QStringLiteral("query \\?TV = (\\d+)"));
    qint64 total = 0;
    qint64 last = 0;
    bool running = false;
    for (std::size_t i = from; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        if (e.direction != QLatin1String("rx"))
            continue;
        // A prime counts as a run of its own.
        if (e.line.contains(QLatin1String("KY1 start")) ||
            e.line.contains(QLatin1String("KY2 prime"))) {
            total += running ? last : 0;
            running = true;
            last = 0;
        }
        const QRegularExpressionMatch m = count.match(e.line);
        if (m.hasMatch())
            last = m.captured(1).toLongLong();
    }
    return total + (running ? last : 0);
}

int SimLog::countsAnswered(const std::vector<Entry> &entries)
{
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const Entry &e) {
        return e.direction == QLatin1String("rx") && e.line.contains(QLatin1String("query ?TV = "));
    }));
}
