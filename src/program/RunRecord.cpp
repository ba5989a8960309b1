#include "program/RunRecord.h"

#include "journal/Journal.h"
#include "journal/JournalRun.h"
#include "program/ProgramFile.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

double thousandths(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

} // namespace

QJsonObject RunRecord::asked(const DosingProgram &program)
{
    QJsonObject out = QJsonDocument::fromJson(ProgramFile::write(program)).object();
    if (!program.fileSha256.isEmpty())
        out.insert(QStringLiteral("file_sha256"), program.fileSha256);
    return out;
}

QJsonObject RunRecord::settings(const PumpCore &core)
{
    QJsonObject out;
    const Pump::PumpItems &items = core.items();
    for (const Pump::KeyTable::Key &key : Pump::KeyTable::keys()) {
        if (!key.readable() || !key.settable())
            continue;
        const QJsonObject fields = Pump::KeyTable::fields(key, items);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            out.insert(it.key(), it.value());
    }
    return out;
}

void RunRecord::begin(PumpCore &core, const ProgramStatus &status, const DosingProgram &program)
{
    Journal *journal = core.journal();
    if (journal == nullptr)
        return;
    QJsonObject fields{{QLatin1String(JournalRun::Field::Asked), asked(program)},
                       {QLatin1String(JournalRun::Field::Settings), settings(core)},
                       {QStringLiteral("program"), program.name},
                       {QStringLiteral("pid"), QCoreApplication::applicationPid()}};
    if (!program.fileSha256.isEmpty())
        fields.insert(QStringLiteral("file_sha256"), program.fileSha256);
    if (!status.origin.request.isEmpty())
        fields.insert(QStringLiteral("request"), status.origin.request);
    journal->append(core.pumpId(), QLatin1String(JournalEntry::Kind::RunStart),
                    status.origin.frontEnd, status.origin.who, fields, status.runId);
}

void RunRecord::end(PumpCore &core, const ProgramStatus &status)
{
    Journal *journal = core.journal();
    if (journal == nullptr || status.runId.isEmpty())
        return;
    QJsonObject fields{
        {QStringLiteral("state"), ProgramStatus::stateName(status.state)},
        {QLatin1String(JournalRun::Field::Cause), ProgramStatus::causeName(status.cause)},
        {QLatin1String(JournalRun::Field::VolumeMl), thousandths(status.volumeMl)},
        {QLatin1String(JournalRun::Field::Seconds), std::round(status.elapsedMs / 100.0) / 10.0},
        {QStringLiteral("final_count_read"), status.finalCountRead}};
    if (!status.reason.isEmpty())
        fields.insert(QStringLiteral("reason"), status.reason);
    if (status.stoppedBy.known())
        fields.insert(QStringLiteral("by"), status.stoppedBy.toJson());
    if (!status.errorFlags.isEmpty())
        fields.insert(QStringLiteral("flags"), QJsonArray::fromStringList(status.errorFlags));
    journal->append(core.pumpId(), QLatin1String(JournalEntry::Kind::RunEnd),
                    status.origin.frontEnd, status.origin.who, fields, status.runId);
}
