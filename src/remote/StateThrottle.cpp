#include "remote/StateThrottle.h"

namespace {

QJsonObject withoutTime(QJsonObject state)
{
    state.remove(QStringLiteral("time_utc"));
    state.remove(QStringLiteral("elapsed_s"));
    return state;
}

} // namespace

bool StateThrottle::take(const QJsonObject &state, qint64 nowMs)
{
    const QJsonObject content = withoutTime(state);
    if (lastMs >= 0 && content == last && nowMs - lastMs < HeartbeatMs)
        return false;
    last = content;
    lastMs = nowMs;
    return true;
}
