#include "remote/ProgramThrottle.h"

qint64 ProgramThrottle::take(const ProgramStatus &status, qint64 nowMs)
{
    const bool news = lastMs < 0 || status.state != lastState || status.position != lastPosition;
    if (!news && nowMs - lastMs < MinGapMs)
        return MinGapMs - (nowMs - lastMs);
    sent(status, nowMs);
    return 0;
}

void ProgramThrottle::sent(const ProgramStatus &status, qint64 nowMs)
{
    lastState = status.state;
    lastPosition = status.position;
    lastMs = nowMs;
}
