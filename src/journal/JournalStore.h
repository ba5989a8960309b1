#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// The journal's SQLite file: where it lives, and one connection to it, to write (the file, its
// folder and its tables made when missing) or only to read. A connection belongs to the thread
// that opens it.
//
//   entries(seq INTEGER PRIMARY KEY, time_ms INTEGER, pump TEXT, kind TEXT, origin TEXT,
//           who TEXT, run_id TEXT NULL, fields TEXT, prev_hash TEXT, hash TEXT)
//   indexes: (time_ms), (pump, time_ms), (kind, time_ms), (kind, pump, time_ms),
//            (run_id) where run_id is not null
class JournalStore
{
public:
    enum class Mode { Write, Read };

    // An entry's fields: at most this many bytes of canonical JSON; texts at most MaxText
    // characters. The reader reads no more than that from any file.
    static constexpr int MaxFieldsBytes = 65536;
    static constexpr int MaxText = 256;
    // How long a writer waits for another process's transaction.
    static constexpr int BusyTimeoutMs = 5000;

    JournalStore(const QString &path, Mode mode);
    ~JournalStore();
    JournalStore(const JournalStore &) = delete;
    JournalStore &operator=(const JournalStore &) = delete;

    // False, with problem() saying why: the folder cannot be made, the path is not a regular
    // file, the file is no SQLite database or holds something else, cannot be opened or (to
    // read) does not exist.
    bool open();
    void close();
    bool isOpen() const { return db.isOpen(); }
    QSqlDatabase &database() { return db; }
    const QString &problem() const { return problemText; }

    // $DOSETTA_JOURNAL, else $XDG_STATE_HOME/dosetta/journal.sqlite (~/.local/state/dosetta/).
    static QString defaultPath();
    // The database's own words for an error, e.g. "database or disk is full".
    static QString errorText(const QSqlError &error, const QString &fallback);
    // Those words, and the system's when they are vague ("disk I/O error"): the file or its
    // folder cannot be written, or the disk is full.
    QString explain(const QSqlError &error, const QString &fallback);
    // The last error explained was another process holding the file past the busy timeout (or
    // SQLite giving way at once, as it does while a file is being set up): a wait, not a fault.
    bool busy() const { return lastBusy; }

private:
    bool connect(bool immutable);
    bool fail(const QString &why);
    bool prepare();
    bool check(bool inTransaction);

    const QString path;
    const Mode mode;
    const QString connection;
    QSqlDatabase db;
    QString problemText;
    bool fresh = false; // to write: the file holds nothing yet
    bool lastBusy = false;
    bool databaseError = false; // the last failure was the database's, not the file's identity
};
