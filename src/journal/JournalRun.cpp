#include "journal/JournalRun.h"

#include "journal/JournalTime.h"

QJsonObject JournalRun::toJson() const
{
    const auto ended = [this](const QJsonValue &value) {
        return open() ? QJsonValue() : value;
    };
    return {{QStringLiteral("run_id"), start.runId},
            {QStringLiteral("pump"), start.pump},
            {QStringLiteral("start"), JournalTime::format(start.timeMs)},
            {QStringLiteral("start_ms"), start.timeMs},
            {QStringLiteral("origin"), start.origin},
            {QStringLiteral("who"), start.who},
            {QStringLiteral("asked"), start.fields.value(QLatin1String(Field::Asked))},
            {QStringLiteral("settings"), start.fields.value(QLatin1String(Field::Settings))},
            {QStringLiteral("open"), open()},
            {QStringLiteral("end"), ended(JournalTime::format(end.timeMs))},
            {QStringLiteral("end_ms"), ended(end.timeMs)},
            {QStringLiteral("cause"), ended(end.fields.value(QLatin1String(Field::Cause)))},
            {QStringLiteral("volume_ml"), ended(end.fields.value(QLatin1String(Field::VolumeMl)))},
            {QStringLiteral("seconds"), ended(end.fields.value(QLatin1String(Field::Seconds)))},
            {QStringLiteral("start_seq"), start.seq},
            {QStringLiteral("end_seq"), ended(end.seq)}};
}
