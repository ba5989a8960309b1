#pragma once

#include <QJsonObject>
#include <QString>

// What one pump has done over its life as the journal tells it, and since its newest service:
// the volume of its runs (the pump's final count of each) and the time they ran.
class JournalTotals
{
public:
    // Where a service is due: at this much since the last one; 0 (or less) for no threshold.
    struct Thresholds
    {
        double volumeMl = 0;
        double hours = 0;

        bool any() const { return volumeMl > 0 || hours > 0; }
    };

    QString pump;
    qint64 runs = 0; // runs that ended
    double volumeMl = 0;
    double hours = 0;
    double sinceServiceVolumeMl = 0;
    double sinceServiceHours = 0;
    qint64 lastServiceMs = 0; // 0: never serviced
    QString lastServicePart;  // what the newest service was of, if it said

    // Either threshold reached since the last service. Without a threshold it is not known.
    bool serviceDue(const Thresholds &limits) const;
    // true or false, or null without a threshold.
    QJsonValue serviceDueValue(const Thresholds &limits) const;
    // pump, runs, volume_ml, hours, since_service {volume_ml, hours}, last_service (ISO 8601 or
    // null), last_service_ms, last_service_part, service_due.
    QJsonObject toJson(const Thresholds &limits) const;
};
