#include "program/MultiPumpStatus.h"

#include <cmath>

double MultiPumpStatus::volumeMl(const QString &pump) const
{
    const auto it = runs.find(pump);
    return it == runs.end() ? 0 : it->second.volumeMl;
}

QJsonObject MultiPumpStatus::toJson() const
{
    QJsonObject o{{QStringLiteral("state"), ProgramStatus::stateName(state)},
                  {QStringLiteral("name"), name},
                  {QStringLiteral("program_id"), programId},
                  {QStringLiteral("progress"), std::round(progress * 1000.0) / 1000.0},
                  {QStringLiteral("elapsed_s"), std::round(elapsedMs / 100.0) / 10.0}};
    if (cause != Cause::None)
        o.insert(QStringLiteral("cause"), ProgramStatus::causeName(cause));
    if (!causePump.isEmpty())
        o.insert(QStringLiteral("cause_pump"), causePump);
    if (!reason.isEmpty())
        o.insert(QStringLiteral("reason"), reason);
    if (stoppedBy.known())
        o.insert(QStringLiteral("stopped_by"), stoppedBy.toJson());
    QJsonObject each;
    for (const QString &pump : pumps) {
        const auto it = runs.find(pump);
        if (it != runs.end())
            each.insert(pump, it->second.toJson());
    }
    o.insert(QStringLiteral("pumps"), each);
    return o;
}
