#include "journal/JournalReader.h"

#include "journal/JournalChain.h"
#include "journal/JournalStore.h"

#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace {

// The columns of an entry, each cut one past its bound so that a longer one shows.
QString columns(const QString &table)
{
    QStringList list{table + QStringLiteral("seq"), table + QStringLiteral("time_ms")};
    for (const char *name : {"pump", "kind", "origin", "who", "run_id"})
        list << QStringLiteral("substr(%1%2, 1, %3)")
                    .arg(table, QLatin1String(name))
                    .arg(JournalStore::MaxText + 1);
    list << QStringLiteral("substr(%1fields, 1, %2)")
                .arg(table)
                .arg(JournalStore::MaxFieldsBytes + 1)
         << QStringLiteral("substr(%1prev_hash, 1, 65)").arg(table)
         << QStringLiteral("substr(%1hash, 1, 65)").arg(table);
    return list.join(QStringLiteral(", "));
}
constexpr int ColumnCount = 10;

struct Row
{
    JournalEntry entry;
    QByteArray fieldsText;
    bool oversize = false;
};

// Fields are parsed unless only their text is wanted (the chain's check).
Row readRow(const QSqlQuery &q, int first = 0, bool parse = true)
{
    Row r;
    JournalEntry &e = r.entry;
    e.seq = q.value(first).toLongLong();
    e.timeMs = q.value(first + 1).toLongLong();
    QString *texts[] = {&e.pump, &e.kind, &e.origin, &e.who, &e.runId};
    for (int i = 0; i < 5; ++i) {
        *texts[i] = q.value(first + 2 + i).toString();
        r.oversize = r.oversize || texts[i]->size() > JournalStore::MaxText;
    }
    r.fieldsText = q.value(first + 7).toString().toUtf8();
    r.oversize = r.oversize || r.fieldsText.size() > JournalStore::MaxFieldsBytes;
    e.prevHash = q.value(first + 8).toString().toLatin1();
    e.hash = q.value(first + 9).toString().toLatin1();
    if (r.oversize)
        e.fields = {{QStringLiteral("oversize"), true}};
    else if (parse)
        e.fields = QJsonDocument::fromJson(r.fieldsText).object();
    return r;
}

// " AND ..." for the filter, its values appended to values.
QString where(const JournalFilter &filter, QVariantList &values)
{
    QString sql;
    if (!filter.pump.isEmpty()) {
        sql += QStringLiteral(" AND pump = ?");
        values << filter.pump;
    }
    if (filter.sinceMs != JournalFilter().sinceMs) {
        sql += QStringLiteral(" AND time_ms >= ?");
        values << filter.sinceMs;
    }
    if (filter.untilMs != JournalFilter().untilMs) {
        sql += QStringLiteral(" AND time_ms < ?");
        values << filter.untilMs;
    }
    return sql;
}

// The newest of a descending result: one more than the limit tells whether there are more.
template<class T>
void newestFirstToOldest(QVector<T> &items, int limit, bool *more)
{
    if (more != nullptr)
        *more = limit > 0 && items.size() > limit;
    if (limit > 0 && items.size() > limit)
        items.resize(limit);
    std::reverse(items.begin(), items.end());
}

} // namespace

JournalReader::JournalReader(const QString &path)
    : path(path)
{}

JournalReader::~JournalReader() = default;

bool JournalReader::open()
{
    store = std::make_unique<JournalStore>(path, JournalStore::Mode::Read);
    if (store->open())
        return true;
    problemText = store->problem();
    store.reset();
    return false;
}

bool JournalReader::query(const QString &sql, const QVariantList &values,
                          const std::function<bool(QSqlQuery &)> &row)
{
    if (!store && !open())
        return false;
    problemText.clear();
    QSqlQuery q(store->database());
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (const QVariant &value : values)
        q.addBindValue(value);
    ok = ok && q.exec();
    while (ok && q.next() && row(q)) {
    }
    if (!ok || q.lastError().isValid()) {
        problemText = QStringLiteral("journal %1: %2")
                          .arg(path, JournalStore::errorText(q.lastError(),
                                                             QStringLiteral("cannot be read")));
        return false;
    }
    return true;
}

bool JournalReader::entries(const JournalFilter &filter, const Take &take, bool *more)
{
    QVariantList values;
    QString sql = QStringLiteral("SELECT %1 FROM entries WHERE 1").arg(columns(QString())) +
                  where(filter, values);
    if (!filter.kind.isEmpty()) {
        sql += QStringLiteral(" AND kind = ?");
        values << filter.kind;
    }
    if (more != nullptr)
        *more = false;
    if (filter.limit <= 0)
        return query(sql + QStringLiteral(" ORDER BY time_ms, seq"), values,
                     [&](QSqlQuery &q) { return take(readRow(q).entry); });
    QVector<JournalEntry> newest;
    values << filter.limit + 1;
    if (!query(sql + QStringLiteral(" ORDER BY time_ms DESC, seq DESC LIMIT ?"), values,
               [&](QSqlQuery &q) {
                   newest << readRow(q).entry;
                   return true;
               }))
        return false;
    newestFirstToOldest(newest, filter.limit, more);
    for (const JournalEntry &entry : qAsConst(newest)) {
        if (!take(entry))
            break;
    }
    return true;
}

QVector<JournalEntry> JournalReader::entries(const JournalFilter &filter, bool *more)
{
    QVector<JournalEntry> list;
    entries(
        filter,
        [&list](const JournalEntry &entry) {
            list << entry;
            return true;
        },
        more);
    return list;
}

QVector<JournalRun> JournalReader::runs(const JournalFilter &filter, bool *more)
{
    // Each start with the first end of its run id, looked up through the run id's index.
    QVariantList values{QLatin1String(JournalEntry::Kind::RunStart)};
    const QString starts =
        QStringLiteral("SELECT * FROM entries WHERE kind = ? AND run_id IS NOT NULL") +
        where(filter, values) + QStringLiteral(" ORDER BY time_ms DESC, seq DESC LIMIT ?");
    values << (filter.limit > 0 ? filter.limit + 1 : -1)
           << QLatin1String(JournalEntry::Kind::RunEnd);
    const QString sql =
        QStringLiteral("SELECT %1, %2 FROM (%3) s LEFT JOIN entries e ON e.seq = (SELECT min(seq) "
                       "FROM entries WHERE run_id = s.run_id AND kind = ?) "
                       "ORDER BY s.time_ms DESC, s.seq DESC")
            .arg(columns(QStringLiteral("s.")), columns(QStringLiteral("e.")), starts);
    QVector<JournalRun> list;
    query(sql, values, [&list](QSqlQuery &q) {
        JournalRun run;
        run.start = readRow(q).entry;
        if (!q.value(ColumnCount).isNull())
            run.end = readRow(q, ColumnCount).entry;
        list << run;
        return true;
    });
    newestFirstToOldest(list, filter.limit, more);
    return list;
}

QVector<JournalRun> JournalReader::openRuns(const QString &pump, const QString &origin,
                                            const QString &who)
{
    QVariantList values{QLatin1String(JournalEntry::Kind::RunStart), pump, origin,
                        QLatin1String(JournalEntry::Kind::RunEnd)};
    QString sql =
        QStringLiteral("SELECT %1 FROM entries s WHERE s.kind = ? AND s.pump = ? AND s.origin = ? "
                       "AND s.run_id IS NOT NULL AND NOT EXISTS (SELECT 1 FROM entries e WHERE "
                       "e.run_id = s.run_id AND e.kind = ?)")
            .arg(columns(QStringLiteral("s.")));
    if (!who.isEmpty()) {
        sql += QStringLiteral(" AND s.who = ?");
        values << who;
    }
    QVector<JournalRun> list;
    query(sql + QStringLiteral(" ORDER BY s.seq"), values, [&list](QSqlQuery &q) {
        JournalRun run;
        run.start = readRow(q).entry;
        list << run;
        return true;
    });
    return list;
}

qint64 JournalReader::count(const JournalFilter &filter)
{
    QVariantList values;
    QString sql = QStringLiteral("SELECT count(*) FROM entries WHERE 1") + where(filter, values);
    if (!filter.kind.isEmpty()) {
        sql += QStringLiteral(" AND kind = ?");
        values << filter.kind;
    }
    qint64 n = 0;
    if (!query(sql, values, [&n](QSqlQuery &q) {
            n = q.value(0).toLongLong();
            return false;
        }))
        return -1;
    return n;
}

QStringList JournalReader::pumps(int max)
{
    // The next name after the last one found, from the pump index: no scan of the entries. A
    // name longer than an entry holds is read cut, and found again: the list ends there.
    QStringList names;
    QString next;
    const QString sql =
        QStringLiteral("SELECT substr(min(pump), 1, %1) FROM entries WHERE pump > ?")
            .arg(JournalStore::MaxText);
    while (names.size() < max) {
        next.clear();
        query(sql, {names.isEmpty() ? QString(QLatin1String("")) : names.constLast()},
              [&next](QSqlQuery &q) {
                  next = q.value(0).toString();
                  return false;
              });
        if (next.isEmpty() || names.contains(next))
            break;
        names << next;
    }
    return names;
}

QVector<JournalTotals> JournalReader::totals(const QString &pump)
{
    // The newest service of each pump splits its runs in two: a run that ended in the same
    // millisecond counts before it. A count that is not a number adds nothing. The kinds are
    // our own constants, written into the statement: SQLite counts each "?" once.
    const QString runEnd = QStringLiteral("'%1'").arg(QLatin1String(JournalEntry::Kind::RunEnd));
    const QString service = QStringLiteral("'%1'").arg(QLatin1String(JournalEntry::Kind::Service));
    const QString volume = QStringLiteral("json_extract(e.fields, '$.%1')")
                               .arg(QLatin1String(JournalRun::Field::VolumeMl));
    const QString seconds = QStringLiteral("json_extract(e.fields, '$.%1')")
                                .arg(QLatin1String(JournalRun::Field::Seconds));
    const QString after =
        QStringLiteral("e.kind = %1 AND (s.at IS NULL OR e.time_ms > s.at)").arg(runEnd);
    QString sql =
        QStringLiteral(
            "SELECT substr(e.pump, 1, %1), sum(e.kind = %2), "
            "total(CASE WHEN e.kind = %2 THEN %4 END), total(CASE WHEN e.kind = %2 THEN %5 END), "
            "total(CASE WHEN %6 THEN %4 END), total(CASE WHEN %6 THEN %5 END), max(s.at), "
            "(SELECT substr(json_extract(fields, '$.part'), 1, %1) FROM entries WHERE kind = %3 "
            "AND pump = e.pump ORDER BY time_ms DESC, seq DESC LIMIT 1) "
            "FROM entries e LEFT JOIN (SELECT pump, max(time_ms) AS at FROM entries "
            "WHERE kind = %3 GROUP BY pump) s ON s.pump = e.pump WHERE e.kind IN (%2, %3)")
            .arg(QString::number(JournalStore::MaxText), runEnd, service, volume, seconds, after);
    QVariantList values;
    if (!pump.isEmpty()) {
        sql += QStringLiteral(" AND e.pump = ?");
        values << pump;
    }
    QVector<JournalTotals> list;
    query(sql + QStringLiteral(" GROUP BY e.pump ORDER BY e.pump"), values, [&list](QSqlQuery &q) {
        JournalTotals t;
        t.pump = q.value(0).toString();
        t.runs = q.value(1).toLongLong();
        t.volumeMl = q.value(2).toDouble();
        t.hours = q.value(3).toDouble() / 3600.0;
        t.sinceServiceVolumeMl = q.value(4).toDouble();
        t.sinceServiceHours = q.value(5).toDouble() / 3600.0;
        t.lastServiceMs = q.value(6).toLongLong();
        t.lastServicePart = q.value(7).toString();
        list << t;
        return true;
    });
    return list;
}

JournalVerdict JournalReader::verify()
{
    using P = JournalVerdict::Problem;
    JournalVerdict v;
    qint64 prevSeq = 0;
    QByteArray prevHash = JournalChain::genesis();
    std::optional<Row> broken; // the first entry that does not hold; the rest are only counted
    const QString sql = QStringLiteral("SELECT %1 FROM entries ORDER BY seq").arg(columns({}));
    const bool read = query(sql, {}, [&](QSqlQuery &q) {
        ++v.entries;
        if (broken)
            return true;
        Row r = readRow(q, 0, false);
        const JournalEntry &e = r.entry;
        if (r.oversize || e.seq != prevSeq + 1 || e.prevHash != prevHash ||
            JournalChain::hash(e, r.fieldsText) != e.hash) {
            broken = std::move(r);
            return true;
        }
        prevSeq = e.seq;
        prevHash = e.hash;
        return true;
    });
    const auto bad = [&v](qint64 seq, P problem, const QString &reason) {
        v.firstBad = seq;
        v.problem = problem;
        v.reason = reason;
        return v;
    };
    if (!broken)
        return read ? v : bad(prevSeq + 1, P::Unreadable, problemText);
    const JournalEntry &e = broken->entry;
    if (broken->oversize)
        return bad(e.seq, P::Oversize,
                   QStringLiteral("a text or its fields are longer than a journal entry holds"));
    if (e.seq != prevSeq + 1)
        return bad(e.seq, P::MissingPredecessor,
                   e.seq == prevSeq + 2
                       ? QStringLiteral("entry %1 before it is missing").arg(prevSeq + 1)
                       : QStringLiteral("entries %1 to %2 before it are missing")
                             .arg(prevSeq + 1)
                             .arg(e.seq - 1));
    if (e.prevHash != prevHash) {
        // Where the entry it was chained to went, if it is still in the file.
        qint64 other = 0;
        query(QStringLiteral("SELECT seq FROM entries WHERE hash = ? LIMIT 1"),
              {QString::fromLatin1(e.prevHash)}, [&other](QSqlQuery &q) {
                  other = q.value(0).toLongLong();
                  return false;
              });
        if (other > e.seq)
            return bad(e.seq, P::Reordered,
                       QStringLiteral("it was written after entry %1, which now comes after it")
                           .arg(other));
        if (other > 0)
            return bad(e.seq, P::MissingPredecessor,
                       QStringLiteral("it was written after entry %1: the entries between are gone")
                           .arg(other));
        if (prevSeq == 0)
            return bad(e.seq, P::MissingPredecessor,
                       QStringLiteral("the entry it was written after is not in the journal"));
        return bad(e.seq, P::PredecessorChanged,
                   QStringLiteral("it was not written after entry %1 as that entry reads now: that "
                                  "one was replaced, or entries between were removed")
                       .arg(prevSeq));
    }
    return bad(e.seq, P::HashMismatch,
               QStringLiteral("its content does not match its hash: it was changed after it was "
                              "written"));
}
