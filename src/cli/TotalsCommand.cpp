#include "cli/TotalsCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "journal/Journal.h"
#include "journal/JournalReader.h"
#include "journal/JournalStore.h"
#include "platform/UserFile.h"

#include <QFileInfo>

namespace {

// How long the tool waits for its service entry to reach the file.
constexpr int FlushMs = 10000;

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

TotalsCommand::TotalsCommand(const CliArguments &arguments, const CliOutput &out)
    : args(arguments)
    , output(out)
{}

JournalTotals::Thresholds TotalsCommand::thresholds(const CliArguments &arguments)
{
    JournalTotals::Thresholds t;
    t.volumeMl = arguments.values.value(QStringLiteral("service-volume-ml")).toDouble();
    t.hours = arguments.values.value(QStringLiteral("service-hours")).toDouble();
    return t;
}

QString TotalsCommand::path() const
{
    return args.values.value(QStringLiteral("file"), JournalStore::defaultPath());
}

int TotalsCommand::totals()
{
    const QString file = path();
    // SQLite would open a FIFO given here and wait on it for ever.
    const QString notAFile = QFileInfo::exists(file) ? UserFile::problem(file) : QString();
    if (!notAFile.isEmpty()) {
        output.message(QStringLiteral("journal %1").arg(notAFile));
        return CliRunner::NoAnswer;
    }
    JournalReader reader(file);
    const QVector<JournalTotals> list =
        reader.open() ? reader.totals(args.values.value(QStringLiteral("pump")))
                      : QVector<JournalTotals>();
    if (!reader.problem().isEmpty()) {
        output.message(reader.problem());
        return CliRunner::NoAnswer;
    }
    if (list.isEmpty()) {
        output.message(QStringLiteral("no runs or services to show"));
        return CliRunner::Done;
    }
    const JournalTotals::Thresholds limits = thresholds(args);
    if (!output.json())
        output.result({}, QStringLiteral("%1  %2  %3  %4  %5  %6  DUE")
                              .arg(QStringLiteral("PUMP"), -14)
                              .arg(QStringLiteral("RUNS"), 6)
                              .arg(QStringLiteral("VOLUME ML"), 14)
                              .arg(QStringLiteral("HOURS"), 10)
                              .arg(QStringLiteral("SINCE ML"), 14)
                              .arg(QStringLiteral("SINCE H"), 10));
    for (const JournalTotals &t : list) {
        const QJsonValue due = t.serviceDueValue(limits);
        output.result(t.toJson(limits), QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
                                            .arg(t.pump, -14)
                                            .arg(t.runs, 6)
                                            .arg(number(t.volumeMl, 3), 14)
                                            .arg(number(t.hours, 2), 10)
                                            .arg(number(t.sinceServiceVolumeMl, 3), 14)
                                            .arg(number(t.sinceServiceHours, 2), 10)
                                            .arg(due.isNull()   ? QStringLiteral("-")
                                                 : due.toBool() ? QStringLiteral("yes")
                                                                : QStringLiteral("no")));
    }
    return CliRunner::Done;
}

int TotalsCommand::serviceDone(const QString &pumpId)
{
    const QString file = path();
    const QString notAFile = QFileInfo::exists(file) ? UserFile::problem(file) : QString();
    if (!notAFile.isEmpty()) {
        output.message(QStringLiteral("journal %1").arg(notAFile));
        return CliRunner::NoAnswer;
    }
    const QString part = args.values.value(QStringLiteral("part"));
    QJsonObject fields;
    if (!part.isEmpty())
        fields.insert(QStringLiteral("part"), part);
    QString problem;
    bool written = false;
    {
        Journal journal(file);
        QObject::connect(
            &journal, &Journal::problem, &journal,
            [&problem](const QString &text) { problem = text; }, Qt::DirectConnection);
        written = journal.append(pumpId, QLatin1String(JournalEntry::Kind::Service),
                                 QLatin1String(JournalEntry::Origin::Cli),
                                 JournalEntry::localUser(), fields) &&
                  journal.flush(FlushMs);
    }
    if (!written) {
        output.message(problem.isEmpty()
                           ? QStringLiteral("journal %1: the service was not written").arg(file)
                           : problem);
        return CliRunner::NoAnswer;
    }
    output.result({{QStringLiteral("pump"), pumpId},
                   {QStringLiteral("part"), part.isEmpty() ? QJsonValue() : QJsonValue(part)},
                   {QStringLiteral("who"), JournalEntry::localUser()}},
                  QStringLiteral("service of %1%2 recorded")
                      .arg(pumpId, part.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(part)));
    return CliRunner::Done;
}
