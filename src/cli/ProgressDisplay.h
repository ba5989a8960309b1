#pragma once

#include <QString>

class CliOutput;

// Progress of a run against its target on standard error: a bar redrawn in place on a terminal,
// otherwise a plain line at every tenth of the target, so a log stays short.
class ProgressDisplay
{
public:
    ProgressDisplay(const CliOutput &output, bool terminal);

    // done and target in the same unit; target 0 means there is none (only done is shown).
    void show(double done, double target, const QString &unit, const QString &detail);
    // Ends the bar's line; the caller prints the last line.
    void finish();

    // "[#####.....]  50 %" for the fraction, clamped to 0 ... 1.
    static QString bar(double fraction, int width);

private:
    const CliOutput &output;
    bool terminal;
    bool drawn = false;
    int lastTenth = -1;
};
