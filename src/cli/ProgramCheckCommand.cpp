#include "cli/ProgramCheckCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "program/ProgramFile.h"
#include "program/ProgramSplit.h"
#include "pump/KeyTable.h"

#include <QJsonArray>

#include <cmath>

namespace {

// Whole seconds as people say them: "45 s", "1 min 12 s", "2 h 5 min".
QString duration(double seconds)
{
    const long long s = std::llround(seconds);
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return s % 60 ? QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60)
                      : QStringLiteral("%1 min").arg(s / 60);
    return s / 60 % 60 ? QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60)
                       : QStringLiteral("%1 h").arg(s / 3600);
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// One step as the plan lists it: "run 16 ml/min for 10 s"; a repeat with its steps below it.
void describe(const ProgramStep &s, const QString &indent, QStringList &lines)
{
    using Kind = ProgramStep::Kind;
    QString text;
    switch (s.kind) {
    case Kind::Dose:
        text =
            QStringLiteral("dose %1 ml at %2 ml/min").arg(number(s.volumeMl), number(s.rateMlMin));
        break;
    case Kind::Run:
        text = QStringLiteral("run %1 ml/min for %2").arg(number(s.rateMlMin), duration(s.forS));
        break;
    case Kind::Ramp:
        text = QStringLiteral("ramp %1 to %2 ml/min over %3 in %4 steps")
                   .arg(number(s.fromMlMin), number(s.toMlMin), duration(s.forS))
                   .arg(s.rampSteps);
        break;
    case Kind::Wait:
        text = QStringLiteral("wait %1").arg(duration(s.forS));
        break;
    case Kind::Prompt:
        text = s.text.startsWith(QLatin1String(ProgramSplit::HoldPrefix))
                   ? s.text
                   : QStringLiteral("prompt: %1").arg(s.text);
        break;
    case Kind::Repeat:
        text = QStringLiteral("repeat %1 times:").arg(s.count);
        break;
    case Kind::Prime:
        text = s.forS > 0 ? QStringLiteral("prime for %1").arg(duration(s.forS))
                          : QStringLiteral("prime until stopped");
        break;
    case Kind::Parallel:
    case Kind::Gradient:
        break;
    }
    lines << indent + text;
    for (const ProgramStep &inner : s.steps)
        describe(inner, indent + QStringLiteral("  "), lines);
}

QString summaryOf(const ProgramPlan::Summary &summary)
{
    return ProgramCheckCommand::summaryText(QString(), summary).mid(2);
}

} // namespace

ProgramCheckCommand::ProgramCheckCommand(const CliArguments &arguments, const CliOutput &out)
    : args(arguments)
    , output(out)
{}

std::optional<DosingProgram> ProgramCheckCommand::load(const QString &path, const CliOutput &output)
{
    const ProgramFile::Checked checked = ProgramFile::load(path);
    if (checked.ok())
        return checked.program;
    output.messages(checked.errors);
    // With --json the failure object carries them all, not only the first.
    output.addToFailure({{QStringLiteral("file"), path},
                         {QStringLiteral("errors"), QJsonArray::fromStringList(checked.errors)}});
    return std::nullopt;
}

int ProgramCheckCommand::exec()
{
    const QString path = args.arguments.value(1);
    const std::optional<DosingProgram> program = load(path, output);
    if (!program)
        return CliRunner::Usage;
    // Notes are no errors: the program checks, and each is said where it happens.
    const QStringList notes = ProgramFile::notes(*program);
    QString noteText;
    for (const QString &note : notes)
        noteText += QStringLiteral("\nnote: ") + note;
    QJsonObject object;
    QString text;
    if (!program->pumps.isEmpty()) {
        const ProgramSplit split = ProgramSplit::of(*program);
        object = splitJson(program->name, split);
        text = splitText(program->name, split);
    } else {
        const ProgramPlan::Summary summary = ProgramPlan::summarize(ProgramPlan::unroll(*program));
        object = summaryJson(program->name, summary);
        text = summaryText(program->name, summary);
    }
    object.insert(QStringLiteral("file"), path);
    object.insert(QStringLiteral("notes"), QJsonArray::fromStringList(notes));
    output.result(object, text + noteText);
    return CliRunner::Done;
}

QString ProgramCheckCommand::summaryText(const QString &name, const ProgramPlan::Summary &summary)
{
    QString text = QStringLiteral("%1: %2 step%3, about %4, %5 ml")
                       .arg(name)
                       .arg(summary.steps)
                       .arg(summary.steps == 1 ? QString() : QStringLiteral("s"))
                       .arg(duration(summary.seconds),
                            Pump::KeyTable::thousandths(std::llround(summary.volumeMl * 1000)));
    if (summary.prompts > 0)
        text += QStringLiteral(", %1 prompt%2")
                    .arg(summary.prompts)
                    .arg(summary.prompts == 1 ? QString() : QStringLiteral("s"));
    return text;
}

QJsonObject ProgramCheckCommand::summaryJson(const QString &name,
                                             const ProgramPlan::Summary &summary)
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("steps"), summary.steps},
            {QStringLiteral("seconds"), std::round(summary.seconds * 1000) / 1000},
            {QStringLiteral("volume_ml"), std::round(summary.volumeMl * 1000) / 1000},
            {QStringLiteral("prompts"), summary.prompts}};
}

namespace {

ProgramPlan::Summary partSummary(const ProgramSplit::Part &part)
{
    ProgramPlan::Summary summary;
    summary.steps = part.steps;
    summary.seconds = part.seconds;
    summary.volumeMl = part.volumeMl;
    summary.prompts = part.prompts;
    return summary;
}

} // namespace

ProgramPlan::Summary ProgramCheckCommand::total(const ProgramSplit &split)
{
    ProgramPlan::Summary summary;
    for (const ProgramSplit::Part &part : split.parts) {
        summary.steps += part.steps;
        summary.volumeMl += part.volumeMl;
        summary.prompts += part.prompts;
    }
    summary.seconds = split.seconds();
    return summary;
}

QStringList ProgramCheckCommand::planLines(const ProgramSplit::Part &part)
{
    QStringList lines;
    for (const ProgramStep &s : part.program.steps)
        describe(s, QString(), lines);
    return lines;
}

QString ProgramCheckCommand::splitText(const QString &name, const ProgramSplit &split)
{
    QString text = QStringLiteral("%1: %2 pumps, %3")
                       .arg(name)
                       .arg(split.parts.size())
                       .arg(summaryOf(total(split)));
    for (const ProgramSplit::Part &part : split.parts) {
        text += QStringLiteral("\n%1: %2").arg(part.pump, summaryOf(partSummary(part)));
        for (const QString &line : planLines(part))
            text += QStringLiteral("\n  ") + line;
    }
    return text;
}

QJsonObject ProgramCheckCommand::splitJson(const QString &name, const ProgramSplit &split)
{
    QJsonObject object = summaryJson(name, total(split));
    QJsonArray pumps;
    for (const ProgramSplit::Part &part : split.parts) {
        QJsonObject one = summaryJson(name, partSummary(part));
        one.remove(QStringLiteral("name"));
        one.insert(QStringLiteral("pump"), part.pump);
        one.insert(QStringLiteral("plan"), QJsonArray::fromStringList(planLines(part)));
        pumps.append(one);
    }
    object.insert(QStringLiteral("pumps"), pumps);
    return object;
}
