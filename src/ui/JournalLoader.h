#pragma once

#include "ui/JournalRows.h"

#include <QMetaType>
#include <QObject>

#include <limits>

// Reads the journal for the Journal tab on a thread of its own: a query of a million entries
// never holds up the window. Each read opens the file afresh, so a journal that appears, is
// replaced or goes away is seen as it is now; what one read takes is bounded by the limit.
class JournalLoader : public QObject
{
    Q_OBJECT

public:
    enum class View { Runs, Changes };

    struct Query
    {
        View view = View::Runs;
        QString kind; // Changes: one kind; empty for all of changeKinds()
        QString pump; // empty for all
        qint64 sinceMs = std::numeric_limits<qint64>::min();
        qint64 untilMs = std::numeric_limits<qint64>::max();
        int limit = 1000;
    };

    struct Page
    {
        QVector<JournalRows::Row> rows; // newest first, at most the limit
        qint64 total = 0;               // how many pass the filter
        QStringList pumps;              // every pump the journal names
        QString problem;                // why the journal could not be read
        bool missing = false;           // there is no such file
    };

    // The pumps listed at most.
    static constexpr int MaxPumps = 50;

    explicit JournalLoader(const QString &path, QObject *parent = nullptr);

    // The read itself, on the caller's thread.
    static Page read(const QString &path, const Query &query);
    // What the Changes view lists: every kind but a run's own start and end.
    static QStringList changeKinds();

public slots:
    void load(const JournalLoader::Query &query);

signals:
    void loaded(const JournalLoader::Page &page);

private:
    const QString path;
};

Q_DECLARE_METATYPE(JournalLoader::Query)
Q_DECLARE_METATYPE(JournalLoader::Page)
