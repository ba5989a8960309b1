#include "cli/ProgressDisplay.h"

#include "cli/CliOutput.h"

#include <algorithm>
#include <cmath>

ProgressDisplay::ProgressDisplay(const CliOutput &out, bool isTerminal)
    : output(out)
    , terminal(isTerminal)
{}

QString ProgressDisplay::bar(double fraction, int width)
{
    const double f = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(std::floor(f * width));
    return QStringLiteral("[%1%2] %3 %")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
        .arg(static_cast<int>(std::floor(f * 100)), 3);
}

void ProgressDisplay::show(double done, double target, const QString &unit, const QString &detail)
{
    const QString amount =
        target > 0
            ? QStringLiteral("%1 / %2 %3").arg(done, 0, 'f', 3).arg(target, 0, 'f', 3).arg(unit)
            : QStringLiteral("%1 %2").arg(done, 0, 'f', 3).arg(unit);
    const double fraction = target > 0 ? done / target : 0;
    if (terminal) {
        // Carriage return and erase to the end of the line: the bar stays on one line.
        const QString line = target > 0 ? bar(fraction, 30) + QLatin1String("  ") + amount : amount;
        output.progress(QStringLiteral("\r\x1b[K%1  %2").arg(line, detail));
        drawn = true;
        return;
    }
    const int tenth =
        target > 0 ? static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 10)) : lastTenth;
    if (tenth == lastTenth)
        return;
    lastTenth = tenth;
    output.progress(QStringLiteral("%1 %  %2  %3\n").arg(tenth * 10).arg(amount, detail));
}

void ProgressDisplay::finish()
{
    if (terminal && drawn)
        output.progress(QStringLiteral("\n"));
    drawn = false;
}
