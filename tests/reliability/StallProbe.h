#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Measures how long the event loop stays blocked: a precise timer that should fire every few
// milliseconds records the longest pause between two of its firings. Every exchange with the
// pump runs inside the command queue's tick on this loop, so the longest pause is the longest
// exchange (plus whatever else ran in one go). Also calls a watcher on every firing.
class StallProbe : public QObject
{
    Q_OBJECT

public:
    static constexpr int PeriodMs = 5;

    explicit StallProbe(QObject *parent = nullptr);

    void setWatcher(std::function<void()> watcher) { watch = std::move(watcher); }
    void reset();
    // Longest pause since the last reset beyond the probe's own period, in ms.
    qint64 longestStallMs() const { return longest; }

private:
    void fired();

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    std::function<void()> watch;
};
