#include "cli/ProgramCheckCommand.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRunner.h"
#include "program/ProgramFile.h"
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
    for (const QString &error : checked.errors)
        output.message(error);
    // With --json the failure object carries them all, not only the last.
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
    const ProgramPlan::Summary summary = ProgramPlan::summarize(ProgramPlan::unroll(*program));
    QJsonObject object = summaryJson(program->name, summary);
    object.insert(QStringLiteral("file"), path);
    output.result(object, summaryText(program->name, summary));
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
