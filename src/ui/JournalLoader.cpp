#include "ui/JournalLoader.h"

#include "journal/JournalReader.h"

#include <QFileInfo>

#include <algorithm>

JournalLoader::JournalLoader(const QString &path, QObject *parent)
    : QObject(parent)
    , path(path)
{
    qRegisterMetaType<JournalLoader::Query>();
    qRegisterMetaType<JournalLoader::Page>();
}

QStringList JournalLoader::changeKinds()
{
    using Kind = JournalEntry::Kind;
    return {QLatin1String(Kind::Setting),     QLatin1String(Kind::Refused),
            QLatin1String(Kind::Link),        QLatin1String(Kind::Program),
            QLatin1String(Kind::Calibration), QLatin1String(Kind::Service)};
}

JournalLoader::Page JournalLoader::read(const QString &path, const Query &query)
{
    Page page;
    JournalReader reader(path);
    const auto failed = [&page, &reader, &path] {
        page.rows.clear();
        page.total = 0;
        page.missing = !QFileInfo::exists(path);
        page.problem = reader.problem();
        return page;
    };
    if (!reader.open())
        return failed();
    page.pumps = reader.pumps(MaxPumps);

    JournalFilter filter;
    filter.pump = query.pump;
    filter.sinceMs = query.sinceMs;
    filter.untilMs = query.untilMs;
    filter.limit = query.limit;
    if (query.view == View::Runs) {
        const QVector<JournalRun> runs = reader.runs(filter);
        if (!reader.problem().isEmpty())
            return failed();
        for (auto run = runs.crbegin(); run != runs.crend(); ++run)
            page.rows << JournalRows::run(*run);
        filter.kind = QLatin1String(JournalEntry::Kind::RunStart);
        page.total = reader.count(filter);
        return page.total < 0 ? failed() : page;
    }

    // The newest of each kind through its own index, then the newest of them all.
    QVector<JournalEntry> entries;
    const QStringList kinds = query.kind.isEmpty() ? changeKinds() : QStringList{query.kind};
    for (const QString &kind : kinds) {
        filter.kind = kind;
        bool read = reader.entries(filter, [&entries](const JournalEntry &e) {
            entries << e;
            return true;
        });
        const qint64 n = read ? reader.count(filter) : -1;
        if (n < 0)
            return failed();
        page.total += n;
    }
    std::sort(entries.begin(), entries.end(), [](const JournalEntry &a, const JournalEntry &b) {
        return a.timeMs != b.timeMs ? a.timeMs > b.timeMs : a.seq > b.seq;
    });
    if (query.limit > 0 && entries.size() > query.limit)
        entries.resize(query.limit);
    for (const JournalEntry &e : qAsConst(entries))
        page.rows << JournalRows::change(e);
    return page;
}

void JournalLoader::load(const JournalLoader::Query &query)
{
    emit loaded(read(path, query));
}
