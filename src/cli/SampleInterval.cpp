#include "cli/SampleInterval.h"

#include <algorithm>

int SampleInterval::next(int askedMs, int currentMs, qint64 tookMs)
{
    const int current = std::max(askedMs, currentMs);
    if (tookMs <= current)
        return current;
    // A tenth to spare, so that a sample a little slower than the last does not fall behind.
    const qint64 needed = tookMs + tookMs / 10;
    const qint64 tenths = (needed + 99) / 100;
    return static_cast<int>(std::min<qint64>(tenths * 100, 24 * 3600 * 1000));
}

QString SampleInterval::notice(int askedMs, int chosenMs, qint64 tookMs)
{
    const auto seconds = [](qint64 ms) {
        return QString::number(static_cast<double>(ms) / 1000.0, 'g', 6);
    };
    return QStringLiteral("watch: the pump takes %1 s to answer a sample; sampling every %2 s, "
                          "not %3 s")
        .arg(seconds(tookMs), seconds(chosenMs), seconds(askedMs));
}
