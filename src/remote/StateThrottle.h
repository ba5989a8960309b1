#pragma once

#include <QJsonObject>

// Decides when a pump's state goes out: when it changed (the sample's own time stamps aside), or
// when the last one went out long enough ago that a reader can tell the bridge still lives.
class StateThrottle
{
public:
    static constexpr qint64 HeartbeatMs = 10000;

    // True when this state should be published now; it then counts as the last one.
    bool take(const QJsonObject &state, qint64 nowMs);
    // The next state goes out whatever it holds (after a reconnection).
    void reset()
    {
        last = QJsonObject();
        lastMs = -1;
    }

private:
    QJsonObject last;
    qint64 lastMs = -1;
};
