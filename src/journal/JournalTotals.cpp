#include "journal/JournalTotals.h"

#include "journal/JournalTime.h"

#include <cmath>

namespace {

// Sums of floating counts, cut to the microlitre and to a millionth of an hour.
double rounded(double value, double perUnit)
{
    return std::round(value * perUnit) / perUnit;
}

} // namespace

bool JournalTotals::serviceDue(const Thresholds &limits) const
{
    return (limits.volumeMl > 0 && sinceServiceVolumeMl >= limits.volumeMl) ||
           (limits.hours > 0 && sinceServiceHours >= limits.hours);
}

QJsonValue JournalTotals::serviceDueValue(const Thresholds &limits) const
{
    return limits.any() ? QJsonValue(serviceDue(limits)) : QJsonValue();
}

QJsonObject JournalTotals::toJson(const Thresholds &limits) const
{
    const bool serviced = lastServiceMs != 0;
    return {
        {QStringLiteral("pump"), pump},
        {QStringLiteral("runs"), runs},
        {QStringLiteral("volume_ml"), rounded(volumeMl, 1e3)},
        {QStringLiteral("hours"), rounded(hours, 1e6)},
        {QStringLiteral("since_service"),
         QJsonObject{{QStringLiteral("volume_ml"), rounded(sinceServiceVolumeMl, 1e3)},
                     {QStringLiteral("hours"), rounded(sinceServiceHours, 1e6)}}},
        {QStringLiteral("last_service"),
         serviced ? QJsonValue(JournalTime::format(lastServiceMs)) : QJsonValue()},
        {QStringLiteral("last_service_ms"), serviced ? QJsonValue(lastServiceMs) : QJsonValue()},
        {QStringLiteral("last_service_part"),
         lastServicePart.isEmpty() ? QJsonValue() : QJsonValue(lastServicePart)},
        {QStringLiteral("service_due"), serviceDueValue(limits)}};
}
