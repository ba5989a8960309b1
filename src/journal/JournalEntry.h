#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMetaType>
#include <QString>

// One line of the journal: what happened to which pump, from which front-end, by whom. The
// journal gives it its sequence number and hashes when it writes it; after that it never
// changes.
class JournalEntry
{
public:
    // What happened. The set is open: a kind not named here is written and read as well.
    struct Kind
    {
        static constexpr const char *RunStart = "run-start";
        static constexpr const char *RunEnd = "run-end";
        static constexpr const char *Setting = "setting";
        static constexpr const char *Refused = "refused";
        static constexpr const char *Link = "link";
        static constexpr const char *Program = "program";
        static constexpr const char *Calibration = "calibration";
        static constexpr const char *Service = "service";
    };
    // Which front-end it came through; "pump" for the pump's own keypad and inputs.
    struct Origin
    {
        static constexpr const char *Window = "window";
        static constexpr const char *Cli = "cli";
        static constexpr const char *Bridge = "bridge";
        static constexpr const char *Sila = "sila";
        static constexpr const char *Program = "program";
        static constexpr const char *Pump = "pump";
    };

    qint64 seq = 0;    // 1, 2, 3 ... in the file; 0 until written
    qint64 timeMs = 0; // UTC, ms since 1970; 0 in append(): the moment of the call
    QString pump;      // the pump's id: "/dev/ttyUSB0:1", a bridge id, ...
    QString kind;
    QString origin;
    QString who;         // the user, MQTT client or SiLA peer, as far as known
    QString runId;       // ties the entries of one run; empty for none
    QJsonObject fields;  // what the kind carries
    QByteArray prevHash; // hex SHA-256 of the entry before; 64 zeros for the first
    QByteArray hash;     // hex SHA-256 of this entry's canonical form

    // seq, time (ISO 8601 UTC), time_ms, pump, kind, origin, who, run_id (or null), fields,
    // prev_hash, hash: what dosetta-cli journal --json prints and a host may publish.
    QJsonObject toJson() const;

    // The operating-system user this process runs as.
    static QString localUser();
    // A new run id (a random UUID).
    static QString newRunId();
};

Q_DECLARE_METATYPE(JournalEntry)
