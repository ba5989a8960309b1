#include "platform/RepeatedLine.h"

#include "platform/TickClock.h"

namespace {

// How often the open windows are looked at: a count is said at most this late.
constexpr int CheckMs = 100;

} // namespace

RepeatedLine::RepeatedLine(std::function<void(const QString &)> say, QObject *parent)
    : QObject(parent)
    , say(std::move(say))
{
    timer.setInterval(CheckMs);
    connect(&timer, &QTimer::timeout, this, [this] { closeWindows(false); });
}

void RepeatedLine::add(const QString &line)
{
    const auto open = windows.find(line);
    if (open != windows.end()) {
        ++open->second.repeats;
        return;
    }
    if (windows.size() < MaxCounted) {
        windows.emplace(line, Window{TickClock::now(), 0});
        if (!timer.isActive())
            timer.start();
    }
    say(line);
}

void RepeatedLine::flush()
{
    closeWindows(true);
}

void RepeatedLine::closeWindows(bool all)
{
    const qint64 now = TickClock::now();
    for (auto it = windows.begin(); it != windows.end();) {
        Window &window = it->second;
        if (!all && now - window.opened < WindowMs) {
            ++it;
            continue;
        }
        if (window.repeats == 0) {
            it = windows.erase(it);
            continue;
        }
        say(QStringLiteral("%1 (%2 more in the last second)").arg(it->first).arg(window.repeats));
        // Still coming: the next second is counted too, and said once at its end.
        window = Window{now, 0};
        if (all)
            it = windows.erase(it);
        else
            ++it;
    }
    if (windows.empty())
        timer.stop();
}
