#include "journal/JournalChain.h"

#include "journal/CanonicalJson.h"
#include "journal/JournalEntry.h"

#include <QCryptographicHash>

const QByteArray &JournalChain::genesis()
{
    static const QByteArray zeros(64, '0');
    return zeros;
}

QByteArray JournalChain::canonical(const JournalEntry &entry, const QByteArray &fieldsText)
{
    QByteArray out;
    out.reserve(160 + fieldsText.size());
    out += "[\"";
    out += Format;
    out += "\",";
    // Sequence numbers and times are whole numbers far below 2^53: plain digits.
    out += QByteArray::number(entry.seq) + ',' + QByteArray::number(entry.timeMs) + ',';
    for (const QString *text : {&entry.pump, &entry.kind, &entry.origin, &entry.who}) {
        CanonicalJson::appendString(out, *text);
        out += ',';
    }
    if (entry.runId.isEmpty())
        out += "null";
    else
        CanonicalJson::appendString(out, entry.runId);
    out += ',' + fieldsText + ',';
    CanonicalJson::appendString(out, QString::fromLatin1(entry.prevHash));
    out += ']';
    return out;
}

QByteArray JournalChain::hash(const JournalEntry &entry, const QByteArray &fieldsText)
{
    return QCryptographicHash::hash(canonical(entry, fieldsText), QCryptographicHash::Sha256)
        .toHex();
}
