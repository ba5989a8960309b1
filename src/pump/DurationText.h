#pragma once

#include <QString>

#include <optional>

namespace Pump {

// Durations as people type them: "90" or "90s", "5m", "1h30m", "1h 5m 3s", "01:30:00", "2:05".
class DurationText
{
public:
    // Whole seconds; nothing for text that is no duration or exceeds a day (86400 s).
    static std::optional<int> seconds(const QString &text);
    // "HH:MM:SS", hours not wrapped.
    static QString clock(int seconds);
};

} // namespace Pump
