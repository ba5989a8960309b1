#pragma once

#include <QString>

namespace Pump {

// The three elapsed-time labels: the target time while the motor stands, a count-down from the
// target while it runs with one, a count-up without one. Pure: texts in, texts out.
class TimeDisplay
{
public:
    struct Labels
    {
        QString hours;
        QString minutes;
        QString seconds;
    };

    // elapsed is the pump's text HHMMSS followed by hundredths; a missing pair reads as 0.
    static Labels compute(bool motorRunning, const QString &targetHours,
                          const QString &targetMinutes, const QString &targetSeconds,
                          const QString &elapsed);
};

} // namespace Pump
