#pragma once

#include <vector>

// A ramp as the pump can run it: it takes a flow rate only before a start, so the ramp is a row
// of timed runs, one per step, at rates spaced equally from the first to the last. The pump's
// dispense time counts whole seconds: each run ends at the whole second nearest its share of the
// total, so the runs add up to the ramp's time.
class RampSegments
{
public:
    struct Segment
    {
        double rateMlMin = 0;
        int seconds = 0; // at least 1: a dispense time of 0 would run until stopped
    };

    // steps below 1 count as 1; a single step runs halfway between the two rates.
    static std::vector<Segment> split(double fromMlMin, double toMlMin, double forS, int steps);
};
