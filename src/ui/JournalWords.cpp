#include "ui/JournalWords.h"

#include <QCoreApplication>

#include <array>

namespace {

// Every word the journal's writers store in these fields.
constexpr std::array<const char *, 31> words{
    // kinds
    QT_TRANSLATE_NOOP("JournalWords", "run-start"), QT_TRANSLATE_NOOP("JournalWords", "run-end"),
    QT_TRANSLATE_NOOP("JournalWords", "setting"), QT_TRANSLATE_NOOP("JournalWords", "refused"),
    QT_TRANSLATE_NOOP("JournalWords", "link"), QT_TRANSLATE_NOOP("JournalWords", "program"),
    QT_TRANSLATE_NOOP("JournalWords", "calibration"), QT_TRANSLATE_NOOP("JournalWords", "service"),
    // origins
    QT_TRANSLATE_NOOP("JournalWords", "window"), QT_TRANSLATE_NOOP("JournalWords", "cli"),
    QT_TRANSLATE_NOOP("JournalWords", "bridge"), QT_TRANSLATE_NOOP("JournalWords", "sila"),
    QT_TRANSLATE_NOOP("JournalWords", "pump"),
    // how a run ended
    QT_TRANSLATE_NOOP("JournalWords", "done"), QT_TRANSLATE_NOOP("JournalWords", "program-stop"),
    QT_TRANSLATE_NOOP("JournalWords", "outside-stop"),
    QT_TRANSLATE_NOOP("JournalWords", "pump-error"), QT_TRANSLATE_NOOP("JournalWords", "link-lost"),
    QT_TRANSLATE_NOOP("JournalWords", "released"), QT_TRANSLATE_NOOP("JournalWords", "other"),
    QT_TRANSLATE_NOOP("JournalWords", "owner-gone"),
    // what became of a setting
    QT_TRANSLATE_NOOP("JournalWords", "accepted"),
    QT_TRANSLATE_NOOP("JournalWords", "sent, not acknowledged"),
    QT_TRANSLATE_NOOP("JournalWords", "no answer"), QT_TRANSLATE_NOOP("JournalWords", "dropped"),
    QT_TRANSLATE_NOOP("JournalWords", "garbled"),
    // a pump's state
    QT_TRANSLATE_NOOP("JournalWords", "stopped"), QT_TRANSLATE_NOOP("JournalWords", "running"),
    QT_TRANSLATE_NOOP("JournalWords", "paused"), QT_TRANSLATE_NOOP("JournalWords", "priming"),
    QT_TRANSLATE_NOOP("JournalWords", "unknown")};

} // namespace

QString JournalWords::shown(const QString &word)
{
    for (const char *known : words) {
        if (word == QLatin1String(known))
            return QCoreApplication::translate("JournalWords", known);
    }
    return word;
}
