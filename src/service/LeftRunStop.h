#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class HeadlessPump;
class Journal;
class OrphanRuns;

// After a service has ended, however it ended: the runs it left open on its pumps (in the journal,
// their process gone) are closed, and a pump still going is stopped first. It sends nothing but
// Stop and the count queries, never a Start. A pump whose journal shows no such run is not
// looked at further; all of it is bounded by boundMs.
class LeftRunStop
{
public:
    struct Line
    {
        QString port;
        int address = 1;
    };
    // The pump's answer, the Stop and the count, with room for a port that is reopened once.
    static constexpr int BoundMs = 20000;

    LeftRunStop(Journal &journal, std::function<void(const QString &)> log);
    ~LeftRunStop();

    // True when every run left open on these lines was closed (or none was); false when a line
    // could not be reached, or its journal read, within the bound.
    bool run(const std::vector<Line> &lines, int boundMs = BoundMs);

private:
    struct Pump;

    Journal &journal;
    std::function<void(const QString &)> log;
    std::vector<std::unique_ptr<Pump>> pumps;
};
