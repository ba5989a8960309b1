#pragma once

#include <QByteArray>

class JournalEntry;

// The hash chain that ties every entry to the one before it, so that an entry changed, removed
// or moved after it was written shows. An entry's hash is the SHA-256, in lowercase hex, of the
// canonical JSON (RFC 8785) of the array
//   ["dosetta-journal/1", seq, time_ms, pump, kind, origin, who, run_id, fields, prev_hash]
// with run_id null when there is none, fields the entry's object, and prev_hash the hex hash of
// the entry before (64 zeros for the first).
class JournalChain
{
public:
    static constexpr const char *Format = "dosetta-journal/1";

    static const QByteArray &genesis();
    // fieldsText: the canonical JSON of the entry's fields, as the journal stores it.
    static QByteArray canonical(const JournalEntry &entry, const QByteArray &fieldsText);
    static QByteArray hash(const JournalEntry &entry, const QByteArray &fieldsText);
};
