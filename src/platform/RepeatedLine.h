#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <map>

// A log line that may come in a flood (one request asked over and over): the first is said at
// once, and the same line again within the second is only counted and said once, with its count,
// when the second is over. A flood costs the journal a line a second, and a single request still
// shows when it comes.
class RepeatedLine : public QObject
{
    Q_OBJECT

public:
    static constexpr int WindowMs = 1000;
    // Lines counted at the same time; beyond them a line is said as it comes, so that a flood
    // of ever new lines cannot grow the table.
    static constexpr std::size_t MaxCounted = 64;

    explicit RepeatedLine(std::function<void(const QString &)> say, QObject *parent = nullptr);

    void add(const QString &line);
    // Says every count now: before closing, since what is counted when it goes is lost.
    void flush();

private:
    void closeWindows(bool all);

    struct Window
    {
        qint64 opened = 0; // monotonic ms
        int repeats = 0;
    };
    std::function<void(const QString &)> say;
    std::map<QString, Window> windows;
    QTimer timer;
};
