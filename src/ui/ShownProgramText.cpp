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

// The program file's errors and notes. The paths and the file's own words (its fields, its
// steps' kinds, its pumps) stay as the file writes them.
const PhraseTable &fileTable()
{
    static const PhraseTable t(
        "ProgramFile",
        {QT_TRANSLATE_NOOP("ProgramFile", "%1: is not a number"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: is empty"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: holds a control character"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: missing"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: no steps"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: unknown field%2"),
         QT_TRANSLATE_NOOP("ProgramFile", " (did you mean \"%1\"?)"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is below %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is above %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1 on a %2"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is finer than %3 %4"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a whole number of seconds"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: %2 is below %3 s, the shortest wait the pump can time"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: %2 is below %3 s, the shortest prime a program times"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is above %3 s (a day)"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 characters, above %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 pumps, above %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 steps once unrolled, above %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "over %1"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: the program names no pumps (\"pumps\")"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: \"%2\" is not one of the program's pumps (%3)"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: drives several pumps; the program names none (\"pumps\")"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: within %2's branch; a branch runs on its own pump only"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: \"%2\" in %3's branch; a branch runs on its own pump only"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: no branches; a branch is a pump's name with its steps"),
         // as the reader writes the plural
         QT_TRANSLATE_NOOP("ProgramFile", "%1: 1 pump; a gradient takes two"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 pumps; a gradient takes two"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: \"%2\" twice; a gradient takes two pumps"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 s in %3 steps is under %4 s a step"),
         QT_TRANSLATE_NOOP(
             "ProgramFile",
             "%1: %2 ml at %3 ml/min would take under half a second; it goes at full flow"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1 ml at %2 ml/min takes longer than the longest dispense time"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: repeats nest more than %2 deep"),
         QT_TRANSLATE_NOOP("ProgramFile",
                           "%1: \"%2\" is not a pump name (letters, digits, - and _, up to %3)"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: \"%2\" is named twice"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: \"%2\" has no step"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a list of steps"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a step"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: no step; a step is one of %2"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 steps in one; a step holds one of %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: unknown step%2; a step is one of %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not an object"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a number"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a whole number"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is out of range"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a text"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a pump's name"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1: %2 is not a list of pumps' names"),
         QT_TRANSLATE_NOOP("ProgramFile", "%1 is %2 bytes, above %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "the file"),
         QT_TRANSLATE_NOOP("ProgramFile", "\"%1\" is given twice in one object"),
         QT_TRANSLATE_NOOP("ProgramFile", "offset %1 (line %2): %3"),
         QT_TRANSLATE_NOOP("ProgramFile", "the file holds no JSON object"),
         QT_TRANSLATE_NOOP("ProgramFile", "format: %1 is not %2"),
         // values as the errors quote them
         QT_TRANSLATE_NOOP("ProgramFile", "a list"),
         QT_TRANSLATE_NOOP("ProgramFile", "an object")});
    return t;
}

} // namespace

QString ShownProgramText::shown(const QString &english)
{
    return table().shownJoined(english, QStringLiteral("; "));
}

QString ShownProgramText::checked(const QString &english)
{
    return fileTable().shown(english);
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
