#include "cli/JournalCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "cli/RunLoop.h"
#include "journal/CanonicalJson.h"
#include "journal/JournalReader.h"
#include "journal/JournalStore.h"
#include "journal/JournalTime.h"
#include "platform/UserFile.h"
#include "recorder/CsvFormat.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// A table cell: the text and blanks up to its width; a longer text is never cut.
QString cell(const QString &text, int width)
{
    return text.leftJustified(width) + QLatin1String("  ");
}

// key=value pairs, a text bare when it has no blank, any other value as compact JSON.
QString fieldsText(const QJsonObject &fields)
{
    QStringList pairs;
    QStringList keys = fields.keys();
    std::sort(keys.begin(), keys.end());
    for (const QString &key : keys) {
        const QJsonValue value = fields.value(key);
        const QString text = value.toString();
        const bool bare = value.isString() && !text.isEmpty() &&
                          !text.contains(QRegularExpression(QStringLiteral("[\\s\"=]")));
        pairs << key + QLatin1Char('=') +
                     (bare ? text : QString::fromUtf8(CanonicalJson::write(value)));
    }
    return pairs.join(QLatin1Char(' '));
}

QString jsonText(const QJsonValue &value)
{
    return value.isNull() || value.isUndefined() ? QString()
                                                 : QString::fromUtf8(CanonicalJson::write(value));
}

// A table row without the blanks an empty last cell leaves.
QString row(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString shortId(const QString &runId)
{
    return runId.isEmpty() ? QStringLiteral("-") : runId.left(8);
}

QString csvLine(const QStringList &cells)
{
    QStringList quoted;
    for (const QString &text : cells)
        quoted << CsvFormat::field(text);
    return quoted.join(QLatin1Char(',')) + QLatin1String("\r\n");
}

} // namespace

JournalCommand::JournalCommand(const CliArguments &arguments, const CliOutput &out)
    : args(arguments)
    , output(out)
    , csv(arguments.flags.contains(QStringLiteral("csv")))
{}

int JournalCommand::exec()
{
    const QString path = args.values.value(QStringLiteral("file"), JournalStore::defaultPath());
    if (args.flags.contains(QStringLiteral("path"))) {
        output.result({{QStringLiteral("path"), path}}, path);
        return CliRunner::Done;
    }
    JournalFilter filter;
    filter.pump = args.values.value(QStringLiteral("pump"));
    filter.kind = args.values.value(QStringLiteral("kind"));
    filter.limit = args.intValue(QStringLiteral("limit"), DefaultLimit);
    for (const char *option : {"since", "until"}) {
        if (!args.values.contains(QLatin1String(option)))
            continue;
        const QString text = args.values.value(QLatin1String(option));
        qint64 from = 0;
        qint64 to = 0;
        if (!JournalTime::parse(text, &from, &to)) {
            output.message(QStringLiteral("--%1 takes a time as 2026-12-08, 2026-12-08T14:30 or "
                                          "2026-12-08T14:30:05Z, not \"%2\"")
                               .arg(QLatin1String(option), text));
            return CliRunner::Usage;
        }
        // Since the start of the period named, until its end: --until 2026-12-08 takes the day.
        if (option[0] == 's')
            filter.sinceMs = from;
        else
            filter.untilMs = to;
    }
    // SQLite would open a FIFO given here and wait on it for ever; a missing file is the
    // reader's to report.
    const QString notAFile = QFileInfo::exists(path) ? UserFile::problem(path) : QString();
    if (!notAFile.isEmpty()) {
        output.message(QStringLiteral("journal %1").arg(notAFile));
        return CliRunner::NoAnswer;
    }
    JournalReader reader(path);
    if (!reader.open()) {
        output.message(reader.problem());
        return CliRunner::NoAnswer;
    }
    if (args.arguments.value(0) == QLatin1String("verify"))
        return verify(reader, path);
    if (args.flags.contains(QStringLiteral("calibrations")))
        return calibrations(reader, filter);
    return args.flags.contains(QStringLiteral("runs")) ? runs(reader, filter)
                                                       : list(reader, filter);
}

void JournalCommand::leftOut(bool more, const QString &what) const
{
    if (more)
        output.message(QStringLiteral("older %1 left out: the newest %2 shown; --limit 0 shows all")
                           .arg(what)
                           .arg(args.intValue(QStringLiteral("limit"), DefaultLimit)));
}

int JournalCommand::list(JournalReader &reader, const JournalFilter &filter)
{
    bool first = true;
    bool more = false;
    const bool read = reader.entries(
        filter,
        [&](const JournalEntry &e) {
            if (first && !output.json())
                output.result({}, csv ? csvLine({"seq", "time", "pump", "kind", "origin", "who",
                                                 "run_id", "fields", "prev_hash", "hash"})
                                      : QStringLiteral("%1  ").arg(QStringLiteral("SEQ"), 6) +
                                            cell("TIME (UTC)", 24) + cell("PUMP", 14) +
                                            cell("KIND", 11) + cell("ORIGIN", 7) + cell("WHO", 10) +
                                            cell("RUN", 8) + "FIELDS");
            first = false;
            if (csv)
                output.result(
                    {}, csvLine({QString::number(e.seq), JournalTime::format(e.timeMs), e.pump,
                                 e.kind, e.origin, e.who, e.runId, jsonText(e.fields),
                                 QString::fromLatin1(e.prevHash), QString::fromLatin1(e.hash)}));
            else
                output.result(e.toJson(),
                              row(QStringLiteral("%1  ").arg(e.seq, 6) +
                                  cell(JournalTime::format(e.timeMs), 24) + cell(e.pump, 14) +
                                  cell(e.kind, 11) + cell(e.origin, 7) + cell(e.who, 10) +
                                  cell(shortId(e.runId), 8) + fieldsText(e.fields)));
            // Nobody reads any more (journal | head): the rest is not read either.
            return !CliOutput::readerGone();
        },
        &more);
    if (!read) {
        output.message(reader.problem());
        return CliRunner::NoAnswer;
    }
    if (CliOutput::readerGone())
        return RunLoop::ReaderGone;
    if (first)
        output.message(QStringLiteral("no entries to show"));
    leftOut(more, QStringLiteral("entries"));
    return CliRunner::Done;
}

int JournalCommand::runs(JournalReader &reader, const JournalFilter &filter)
{
    bool more = false;
    const QVector<JournalRun> list = reader.runs(filter, &more);
    if (!reader.problem().isEmpty()) {
        output.message(reader.problem());
        return CliRunner::NoAnswer;
    }
    if (list.isEmpty())
        output.message(QStringLiteral("no runs to show"));
    else if (!output.json())
        output.result({},
                      csv ? csvLine({"run_id", "pump", "start", "origin", "who", "asked",
                                     "settings", "open", "end", "cause", "volume_ml", "seconds"})
                          : cell("RUN", 8) + cell("START (UTC)", 24) + cell("PUMP", 14) +
                                cell("ORIGIN", 7) + cell("WHO", 10) + cell("END (UTC)", 24) +
                                cell("CAUSE", 10) + cell("VOLUME", 10) + cell("TIME", 9) + "ASKED");
    for (const JournalRun &run : list) {
        if (CliOutput::readerGone())
            return RunLoop::ReaderGone;
        const QJsonObject o = run.toJson();
        const auto text = [&o](const char *name) {
            const QJsonValue value = o.value(QLatin1String(name));
            return value.isString() ? value.toString() : jsonText(value);
        };
        if (csv) {
            output.result(
                {}, csvLine({text("run_id"), text("pump"), text("start"), text("origin"),
                             text("who"), text("asked"), text("settings"), text("open"),
                             text("end"), text("cause"), text("volume_ml"), text("seconds")}));
            continue;
        }
        const auto unit = [&](const char *name, const char *suffix) {
            return run.open() || o.value(QLatin1String(name)).isNull()
                       ? QStringLiteral("-")
                       : text(name) + QLatin1String(suffix);
        };
        output.result(o, row(cell(shortId(run.start.runId), 8) + cell(text("start"), 24) +
                             cell(run.start.pump, 14) + cell(run.start.origin, 7) +
                             cell(run.start.who, 10) +
                             cell(run.open() ? QStringLiteral("open") : text("end"), 24) +
                             cell(run.open() ? QStringLiteral("-") : text("cause"), 10) +
                             cell(unit("volume_ml", " ml"), 10) + cell(unit("seconds", " s"), 9) +
                             fieldsText(o.value(QStringLiteral("asked")).toObject())));
    }
    leftOut(more, QStringLiteral("runs"));
    return CliRunner::Done;
}

int JournalCommand::calibrations(JournalReader &reader, JournalFilter filter)
{
    filter.kind = QLatin1String(JournalEntry::Kind::Calibration);
    bool more = false;
    const QVector<JournalEntry> list = reader.entries(filter, &more);
    if (!reader.problem().isEmpty()) {
        output.message(reader.problem());
        return CliRunner::NoAnswer;
    }
    const QStringList columns{
        "nominal_ml", "masses_g",    "density",     "mean_ml", "deviation_percent",
        "spread_ml",  "old_percent", "new_percent", "sent",    "verdict"};
    if (list.isEmpty())
        output.message(QStringLiteral("no calibrations to show"));
    else if (!output.json())
        output.result({}, csv ? csvLine(QStringList{"time", "pump", "origin", "who"} + columns)
                              : cell("TIME (UTC)", 24) + cell("PUMP", 14) + cell("ORIGIN", 7) +
                                    cell("WHO", 10) + cell("NOMINAL", 9) + cell("MEAN", 9) +
                                    cell("DEV %", 7) + cell("OLD %", 6) + cell("NEW %", 6) +
                                    cell("SENT", 5) + "MASSES");
    for (const JournalEntry &e : list) {
        if (CliOutput::readerGone())
            return RunLoop::ReaderGone;
        const auto text = [&e](const QString &name) {
            const QJsonValue value = e.fields.value(name);
            return value.isString() ? value.toString() : jsonText(value);
        };
        if (csv) {
            QStringList cells{JournalTime::format(e.timeMs), e.pump, e.origin, e.who};
            for (const QString &name : columns)
                cells << text(name);
            output.result({}, csvLine(cells));
            continue;
        }
        output.result(
            e.toJson(),
            row(cell(JournalTime::format(e.timeMs), 24) + cell(e.pump, 14) + cell(e.origin, 7) +
                cell(e.who, 10) + cell(text(QStringLiteral("nominal_ml")), 9) +
                cell(text(QStringLiteral("mean_ml")), 9) +
                cell(text(QStringLiteral("deviation_percent")), 7) +
                cell(text(QStringLiteral("old_percent")), 6) +
                cell(text(QStringLiteral("new_percent")), 6) +
                cell(text(QStringLiteral("sent")), 5) + text(QStringLiteral("masses_g"))));
    }
    leftOut(more, QStringLiteral("calibrations"));
    return CliRunner::Done;
}

int JournalCommand::verify(JournalReader &reader, const QString &path)
{
    const JournalVerdict v = reader.verify();
    if (v.intact()) {
        output.result({{QStringLiteral("path"), path},
                       {QStringLiteral("entries"), v.entries},
                       {QStringLiteral("intact"), true}},
                      QStringLiteral("%1 entr%2, chain intact")
                          .arg(v.entries)
                          .arg(v.entries == 1 ? QStringLiteral("y") : QStringLiteral("ies")));
        return CliRunner::Done;
    }
    // The verdict goes to standard output as JSON; the words to standard error either way.
    output.result({{QStringLiteral("path"), path},
                   {QStringLiteral("entries"), v.entries},
                   {QStringLiteral("intact"), false},
                   {QStringLiteral("first_bad"), v.firstBad},
                   {QStringLiteral("problem"), JournalVerdict::problemName(v.problem)},
                   {QStringLiteral("reason"), v.reason}},
                  QString());
    output.message(QStringLiteral("entry %1 does not hold (%2): %3; %4 entries read")
                       .arg(v.firstBad)
                       .arg(JournalVerdict::problemName(v.problem), v.reason)
                       .arg(v.entries));
    return CliRunner::Refused;
}
