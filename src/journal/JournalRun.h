#pragma once

#include "journal/JournalEntry.h"

#include <QJsonObject>

// One run as the journal tells it: its run-start entry joined with the run-end entry of the same
// run id, if there is one yet.
class JournalRun
{
public:
    // The fields of run-start and run-end entries that the reader shows; the runner writes
    // them, every other field is kept as written.
    struct Field
    {
        static constexpr const char *Asked = "asked";        // run-start: what was asked, object
        static constexpr const char *Settings = "settings";  // run-start: the pump's settings
        static constexpr const char *Cause = "cause";        // run-end: why it ended, text
        static constexpr const char *VolumeMl = "volume_ml"; // run-end: the pump's final count
        static constexpr const char *Seconds = "seconds";    // run-end: the pump's final time
    };

    JournalEntry start;
    JournalEntry end; // seq 0 while the run is open

    bool open() const { return end.seq == 0; }
    // run_id, pump, start, start_ms, origin, who, asked, settings, open, end, end_ms, cause,
    // volume_ml, seconds (null while open), start_seq, end_seq.
    QJsonObject toJson() const;
};
