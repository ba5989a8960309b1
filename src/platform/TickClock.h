#pragma once

#include <QtGlobal>

// Stand-in for the system millisecond tick counter and the 1 ms sleep of the serial waits:
// a monotonic clock, so a change of the wall clock never stretches or cuts a wait.
class TickClock
{
public:
    static qint64 now();
    static void sleep(int milliseconds);
};
