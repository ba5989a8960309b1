#pragma once

#include <QString>

// The journal's stored words (kinds, origins, run-end causes, verdicts, a pump's state) as the
// window shows them: translated for the window, while the journal itself, dosetta-cli and the
// network keep the English words. A word the table does not know is shown as stored.
class JournalWords
{
public:
    static QString shown(const QString &word);
};
