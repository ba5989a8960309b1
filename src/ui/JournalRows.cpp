#include "ui/JournalRows.h"

#include "ui/JournalWords.h"
#include "ui/ShownNumber.h"
#include "ui/ShownProgramText.h"
#include "ui/ShownRefusal.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

// Tool tips stay readable whatever an entry carries.
constexpr int MaxToolTip = 2000;

QString cut(const QString &text)
{
    return text.size() > JournalRows::MaxCell ? text.left(JournalRows::MaxCell - 1) + QChar(0x2026)
                                              : text;
}

QString field(const QJsonObject &fields, const char *name)
{
    return JournalRows::text(fields.value(QLatin1String(name)));
}

bool scalar(const QJsonValue &value)
{
    return !value.isArray() && !value.isObject();
}

// "key: value" lines of every field, sorted by key.
QStringList lines(const QJsonObject &fields)
{
    QStringList keys = fields.keys();
    std::sort(keys.begin(), keys.end());
    QStringList out;
    for (const QString &key : qAsConst(keys))
        out << key + QLatin1String(": ") + JournalRows::text(fields.value(key));
    return out;
}

QString toolTip(QStringList lines)
{
    const QString text = lines.join(QLatin1Char('\n'));
    return text.size() > MaxToolTip ? text.left(MaxToolTip) + QChar(0x2026) : text;
}

QString number(const QJsonValue &value, int decimals)
{
    return value.isDouble() ? ShownNumber::number(value.toDouble(), decimals) : QStringLiteral("-");
}

// What a run was asked: the program's name first, then the rest.
QString asked(const JournalRun &run)
{
    QJsonObject what = run.start.fields.value(QLatin1String(JournalRun::Field::Asked)).toObject();
    QString name;
    for (const char *key : {"program", "name"}) {
        if (name.isEmpty() && what.value(QLatin1String(key)).isString()) {
            name = what.value(QLatin1String(key)).toString();
            what.remove(QLatin1String(key));
        }
    }
    if (name.isEmpty())
        name = field(run.start.fields, "program");
    const QString rest = JournalRows::text(what);
    return name.isEmpty() || rest.isEmpty() ? name + rest : name + QLatin1String(", ") + rest;
}

// Why it ended, with the pump's error flags or the reason given.
QString cause(const QJsonObject &end)
{
    QString text = JournalWords::shown(field(end, JournalRun::Field::Cause));
    QString detail = field(end, "flags");
    if (detail.isEmpty())
        detail = ShownProgramText::shown(field(end, "reason"));
    if (!detail.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(": ")) + detail;
    return text;
}

} // namespace

bool JournalRows::Row::operator==(const Row &other) const
{
    return key == other.key && cells == other.cells && toolTip == other.toolTip &&
           startMs == other.startMs && endMs == other.endMs && running == other.running &&
           trouble == other.trouble;
}

QStringList JournalRows::runHeaders()
{
    // In the order of RunColumn.
    return {QCoreApplication::translate("mainScreen", "Start"),
            QCoreApplication::translate("mainScreen", "End"),
            QCoreApplication::translate("mainScreen", "Pump"),
            QCoreApplication::translate("mainScreen", "Origin"),
            QCoreApplication::translate("mainScreen", "Who"),
            QCoreApplication::translate("mainScreen", "Cause"),
            QCoreApplication::translate("mainScreen", "Volume (ml)"),
            QCoreApplication::translate("mainScreen", "Time (s)"),
            QCoreApplication::translate("mainScreen", "Asked")};
}

QStringList JournalRows::changeHeaders()
{
    // In the order of ChangeColumn.
    return {QCoreApplication::translate("mainScreen", "Time"),
            QCoreApplication::translate("mainScreen", "Pump"),
            QCoreApplication::translate("mainScreen", "Kind"),
            QCoreApplication::translate("mainScreen", "Origin"),
            QCoreApplication::translate("mainScreen", "Who"),
            QCoreApplication::translate("mainScreen", "Key"),
            QCoreApplication::translate("mainScreen", "Change"),
            QCoreApplication::translate("mainScreen", "Verdict")};
}

JournalRows::Row JournalRows::run(const JournalRun &run)
{
    const JournalEntry &s = run.start;
    const QJsonObject &end = run.end.fields;
    Row r;
    r.key = s.runId;
    r.startMs = s.timeMs;
    r.running = run.open();
    r.endMs = r.running ? 0 : run.end.timeMs;
    const QString why = field(end, JournalRun::Field::Cause);
    r.trouble = !r.running && why != QLatin1String("done") &&
                why != QLatin1String("program-stop") && why != QLatin1String("outside-stop");
    r.cells = QStringList{
        time(s.timeMs),
        r.running ? QCoreApplication::translate("mainScreen", "running")
                  : time(run.end.timeMs, s.timeMs),
        s.pump,
        JournalWords::shown(s.origin),
        s.who,
        r.running ? QString() : cut(cause(end)),
        r.running ? QString() : number(end.value(QLatin1String(JournalRun::Field::VolumeMl)), 3),
        r.running ? QString() : number(end.value(QLatin1String(JournalRun::Field::Seconds)), 1),
        cut(asked(run))};
    QStringList tip{QCoreApplication::translate("mainScreen", "Run %1").arg(s.runId)};
    tip << lines(s.fields);
    if (r.running)
        tip << QCoreApplication::translate(
            "mainScreen", "No end in the journal yet: the run goes on, or what ran it ended "
                          "without writing one.");
    else
        tip << lines(end);
    r.toolTip = toolTip(tip);
    return r;
}

JournalRows::Row JournalRows::change(const JournalEntry &entry)
{
    const QJsonObject &f = entry.fields;
    Row r;
    r.key = QString::number(entry.seq);
    r.startMs = entry.timeMs;
    QString change;
    if (f.contains(QLatin1String("before")) || f.contains(QLatin1String("after"))) {
        const auto side = [&f](const char *name) {
            const QString text = field(f, name);
            return text.isEmpty() ? QStringLiteral("?") : text;
        };
        change = side("before") + QStringLiteral(" \u2192 ") + side("after");
    } else if (f.contains(QLatin1String("value"))) {
        change = field(f, "value");
    } else {
        QJsonObject rest = f;
        for (const char *name : {"key", "verdict", "reason"})
            rest.remove(QLatin1String(name));
        change = text(rest);
    }
    const QString verdict = field(f, "verdict");
    const QString reason = ShownRefusal::parsed(field(f, "reason"));
    r.trouble = entry.kind == QLatin1String(JournalEntry::Kind::Refused) ||
                (!verdict.isEmpty() && verdict != QLatin1String("accepted"));
    r.cells = QStringList{time(entry.timeMs),
                          entry.pump,
                          JournalWords::shown(entry.kind),
                          JournalWords::shown(entry.origin),
                          entry.who,
                          cut(field(f, "key")),
                          cut(change),
                          cut(verdict.isEmpty() || reason.isEmpty()
                                  ? JournalWords::shown(verdict) + reason
                                  : JournalWords::shown(verdict) + QLatin1String(": ") + reason)};
    r.toolTip =
        toolTip(QStringList{QCoreApplication::translate("mainScreen", "Entry %1").arg(entry.seq)} +
                lines(f));
    return r;
}

QString JournalRows::text(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QCoreApplication::translate("mainScreen", "yes")
                              : QCoreApplication::translate("mainScreen", "no");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        const QJsonArray list = value.toArray();
        if (!std::all_of(list.begin(), list.end(), scalar))
            return QCoreApplication::translate("mainScreen", "%1 items").arg(list.size());
        QStringList parts;
        for (const QJsonValue &item : list)
            parts << text(item);
        return parts.join(QStringLiteral(", "));
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        QStringList pairs;
        for (const QString &key : qAsConst(keys)) {
            const QJsonValue item = object.value(key);
            // "steps": [{...}, {...}] reads as "2 steps".
            if (item.isArray() && !item.toArray().isEmpty() && !scalar(item.toArray().first()))
                pairs << QStringLiteral("%1 %2").arg(item.toArray().size()).arg(key);
            else
                pairs << key + QLatin1Char('=') + text(item);
        }
        return pairs.join(QStringLiteral(", "));
    }
    default:
        return QString();
    }
}

QString JournalRows::time(qint64 ms, qint64 sinceMs)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms);
    const bool sameDay =
        sinceMs != 0 && QDateTime::fromMSecsSinceEpoch(sinceMs).date() == at.date();
    return at.toString(sameDay ? QStringLiteral("HH:mm:ss")
                               : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
