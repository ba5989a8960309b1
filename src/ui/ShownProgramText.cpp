#include "ui/ShownProgramText.h"

#include "ui/PhraseTable.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// Whole texts ahead of the templates that would also take them.
const PhraseTable &table()
{
    static const PhraseTable t(
        "ProgramRunner",
        {// why it ended
         QT_TRANSLATE_NOOP("ProgramRunner", "stopped"),
         QT_TRANSLATE_NOOP("ProgramRunner", "stopped from outside the program"),
         QT_TRANSLATE_NOOP("ProgramRunner", "stopped by %1"),
         QT_TRANSLATE_NOOP("ProgramRunner", "left to the pump, which runs on"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump's final count could not be read"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump stopped priming"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump stopped before the step's end"),
         QT_TRANSLATE_NOOP("ProgramRunner",
                           "the pump stopped before its set end, at its keypad or an input"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump reports an error"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump reports an error: %1"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the volume delivered cannot be asked for"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the link was lost for more than %1 s"),
         QT_TRANSLATE_NOOP("ProgramRunner", "%1 cannot be sent"),
         QT_TRANSLATE_NOOP("ProgramRunner", "%1 was dropped from the queue"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the pump refused %1"),
         QT_TRANSLATE_NOOP("ProgramRunner", "no answer to %1"),
         QT_TRANSLATE_NOOP("ProgramRunner",
                           "%1 ml at %2 ml/min takes longer than the longest dispense time"),
         // why it did not start
         QT_TRANSLATE_NOOP("ProgramRunner",
                           "the last program is still ending: its count is being read"),
         QT_TRANSLATE_NOOP("ProgramRunner", "a program is already running"),
         QT_TRANSLATE_NOOP("ProgramRunner",
                           "the program names its pumps; it runs on them together"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the program has no steps"),
         // the runs it did not start
         QT_TRANSLATE_NOOP("ProgramRunner", "run started at the pump"),
         QT_TRANSLATE_NOOP("ProgramRunner", "run started by %1"),
         // what it sent, inside the texts above
         QT_TRANSLATE_NOOP("ProgramRunner", "prime"), QT_TRANSLATE_NOOP("ProgramRunner", "start"),
         QT_TRANSLATE_NOOP("ProgramRunner", "pause"),
         QT_TRANSLATE_NOOP("ProgramRunner", "one dose per start"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the query of the volume delivered"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the volume mode"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the flow mode"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the volume"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the flow rate"),
         QT_TRANSLATE_NOOP("ProgramRunner", "the dispense time")});
    return t;
}

} // namespace

QString ShownProgramText::shown(const QString &english)
{
    return table().shownJoined(english, QStringLiteral("; "));
}

QString ShownProgramText::label(const QString &english)
{
    static const QRegularExpression pass(QStringLiteral(", pass (\\d+)/(\\d+)"));
    QString shown;
    int from = 0;
    QRegularExpressionMatchIterator it = pass.globalMatch(english);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        shown += english.mid(from, m.capturedStart() - from);
        shown += QCoreApplication::translate("ProgramRunner", ", pass %1/%2")
                     .arg(m.captured(1), m.captured(2));
        from = m.capturedEnd();
    }
    return shown + english.mid(from);
}
