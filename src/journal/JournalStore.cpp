#include "journal/JournalStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// "DSJN" in the file's header tells a journal from any other SQLite file.
constexpr int ApplicationId = 0x44534a4e;
constexpr int SchemaVersion = 1;

const char *const schema[] = {
    "CREATE TABLE IF NOT EXISTS entries (seq INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL, "
    "pump TEXT NOT NULL, kind TEXT NOT NULL, origin TEXT NOT NULL, who TEXT NOT NULL, "
    "run_id TEXT, fields TEXT NOT NULL, prev_hash TEXT NOT NULL, hash TEXT NOT NULL)",
    // Each filter of the reader (pump, kind, both, neither; a time range) has an index in time
    // order, the row id behind it: the newest N come out without sorting a million entries.
    "CREATE INDEX IF NOT EXISTS entries_time ON entries (time_ms)",
    "CREATE INDEX IF NOT EXISTS entries_pump ON entries (pump, time_ms)",
    "CREATE INDEX IF NOT EXISTS entries_kind ON entries (kind, time_ms)",
    "CREATE INDEX IF NOT EXISTS entries_kind_pump ON entries (kind, pump, time_ms)",
    "CREATE INDEX IF NOT EXISTS entries_run ON entries (run_id) WHERE run_id IS NOT NULL",
};

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("dosetta-journal-%1").arg(++counter);
}

// Each folder that is missing is made for this user alone.
bool makeFolder(const QString &folder, QString *problem)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    int error = ENOTDIR;
    if (!info.exists() && !info.isSymLink()) {
        if (!makeFolder(info.absolutePath(), problem))
            return false;
        // EEXIST: another process made it meanwhile.
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST)
            return true;
        error = errno;
    }
    *problem = QStringLiteral("cannot make the folder %1: %2")
                   .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

} // namespace

JournalStore::JournalStore(const QString &path, Mode mode)
    : path(path)
    , mode(mode)
    , connection(nextConnectionName())
{}

JournalStore::~JournalStore()
{
    close();
}

QString JournalStore::defaultPath()
{
    const QString chosen = qEnvironmentVariable("DOSETTA_JOURNAL");
    if (!chosen.isEmpty())
        return chosen;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The variable counts only when it is an absolute path.
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/dosetta/journal.sqlite");
}

QString JournalStore::errorText(const QSqlError &error, const QString &fallback)
{
    if (!error.databaseText().isEmpty())
        return error.databaseText();
    return error.text().trimmed().isEmpty() ? fallback : error.text().trimmed();
}

QString JournalStore::explain(const QSqlError &error, const QString &fallback)
{
    databaseError = true;
    // SQLITE_BUSY and SQLITE_LOCKED, with or without their extended codes.
    const int code = error.nativeErrorCode().toInt();
    lastBusy = (code & 0xff) == 5 || (code & 0xff) == 6;
    const QString text = errorText(error, fallback);
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    int reason = 0;
    for (const QByteArray &name : {file, folder}) {
        if (reason == 0 && ::access(name.constData(), F_OK) == 0 &&
            ::access(name.constData(), W_OK) != 0)
            reason = errno;
    }
    struct statvfs fs
    {
    };
    if (reason == 0 && ::statvfs(folder.constData(), &fs) == 0 && fs.f_bavail == 0)
        reason = ENOSPC;
    return reason == 0
               ? text
               : QStringLiteral("%1 (%2)").arg(text, QString::fromLocal8Bit(std::strerror(reason)));
}

bool JournalStore::fail(const QString &why)
{
    problemText = QStringLiteral("journal %1: %2").arg(path, why);
    return false;
}

bool JournalStore::open()
{
    problemText.clear();
    if (db.isOpen())
        return true;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("not a regular file"));
    if (mode == Mode::Read && !info.exists())
        return fail(QStringLiteral("no such file"));
    QString why;
    if (mode == Mode::Write && !makeFolder(info.absolutePath(), &why))
        return fail(why);
    if (connect(false))
        return true;
    // A journal in WAL mode is read beside its shared-memory file, which cannot be made on a
    // read-only or full file system: there it is read as a file nobody changes.
    if (mode == Mode::Read && databaseError) {
        const QString first = problemText;
        if (connect(true))
            return true;
        problemText = first;
    }
    return false;
}

bool JournalStore::connect(bool immutable)
{
    databaseError = false;
    lastBusy = false;
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    if (!db.isValid()) {
        close();
        return fail(QStringLiteral("the Qt SQLite driver is missing (libqt5sql5-sqlite)"));
    }
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (mode == Mode::Read)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    if (immutable) {
        options += QStringLiteral(";QSQLITE_OPEN_URI");
        db.setDatabaseName(
            QString::fromLatin1(
                QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()) +
            QStringLiteral("?immutable=1"));
    } else {
        db.setDatabaseName(path);
    }
    db.setConnectOptions(options);
    const bool ready = db.open()
                           ? (mode == Mode::Write ? prepare() : check(false))
                           : fail(explain(db.lastError(), QStringLiteral("cannot be opened")));
    if (!ready)
        close();
    return ready;
}

void JournalStore::close()
{
    if (db.isValid()) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
}

// A file that is a journal, or new (to write): its identity is read in one snapshot, before
// anything is written, so that another program's database is left as it is.
bool JournalStore::check(bool inTransaction)
{
    QSqlQuery q(db);
    int values[3] = {};
    const char *const reads[] = {"SELECT count(*) FROM sqlite_master", "PRAGMA application_id",
                                 "PRAGMA user_version"};
    bool ok = inTransaction || q.exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < 3; ++i) {
        ok = ok && q.exec(QLatin1String(reads[i])) && q.next();
        if (ok)
            values[i] = q.value(0).toInt();
    }
    ok = ok && (inTransaction || q.exec(QStringLiteral("COMMIT")));
    if (!ok)
        return fail(explain(q.lastError(), QStringLiteral("cannot be read")));
    const bool empty = values[0] == 0;
    fresh = mode == Mode::Write && empty && values[1] == 0;
    if (fresh)
        return true;
    if (values[1] != ApplicationId)
        return fail(empty ? QStringLiteral("holds no journal")
                          : QStringLiteral("not a DOSETTA journal, left as it is"));
    if (values[2] > SchemaVersion)
        return fail(
            QStringLiteral("written by a newer DOSETTA (journal version %1)").arg(values[2]));
    return true;
}

bool JournalStore::prepare()
{
    if (!check(false))
        return false;
    QSqlQuery q(db);
    // Readers never wait for writers, and several processes may write. A commit is on the disk
    // when it returns: the journal is the record a power cut must not lose.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) ||
        !q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return fail(explain(q.lastError(), QStringLiteral("cannot be set up")));
    if (!fresh)
        return true;
    // Made under the write lock, looked at again there: another process may have made it since.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(explain(q.lastError(), QStringLiteral("cannot be written")));
    bool ok = check(true);
    for (const char *statement : schema)
        ok = ok && (!fresh || q.exec(QLatin1String(statement)));
    ok =
        ok && (!fresh || (q.exec(QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId)) &&
                          q.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion))));
    if (!ok || !q.exec(QStringLiteral("COMMIT"))) {
        if (problemText.isEmpty())
            fail(explain(q.lastError(), QStringLiteral("cannot be written")));
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}
