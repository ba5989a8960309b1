#pragma once

#include "journal/JournalTotals.h"

#include <QString>

// The service thresholds of each pump the window knows, in the window's settings under the
// pump's name, with the keys and meaning of the service configuration's: service-volume-ml and
// service-hours since the last service; 0 for none.
class ServiceThresholds
{
public:
    static JournalTotals::Thresholds load(const QString &pump);
    static void store(const QString &pump, const JournalTotals::Thresholds &limits);
};
