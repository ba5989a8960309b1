#include "service/PortNotice.h"

QString PortNotice::update(const QString &problem, qint64 nowMs, int retryS)
{
    if (problem.isEmpty()) {
        if (shown.isEmpty())
            return QString();
        shown.clear();
        return QStringLiteral("the port can be used again");
    }
    if (problem != shown) {
        const bool first = shown.isEmpty();
        shown = problem;
        saidAt = nowMs;
        if (first)
            since = nowMs;
        return QStringLiteral("%1 Trying again every %2 s.").arg(problem).arg(retryS);
    }
    if (nowMs - saidAt < RepeatMs)
        return QString();
    saidAt = nowMs;
    return QStringLiteral("%1 Still trying every %2 s, for %3 min now.")
        .arg(problem)
        .arg(retryS)
        .arg((nowMs - since) / 60000);
}
