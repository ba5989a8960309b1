#pragma once

#include <QString>

// How often watch samples: at the asked interval while the pump answers a sample's queries
// within it, else at the fastest the pump allows, which a sample's own duration tells.
class SampleInterval
{
public:
    // askedMs: what --interval asked for; currentMs: the interval in use; tookMs: how long the
    // last sample's exchanges lasted. The interval to use from now on: never below what the
    // pump takes (with a tenth to spare, in whole tenths of a second), never above what was
    // asked unless the pump needs it, and never narrowed again once widened.
    static int next(int askedMs, int currentMs, qint64 tookMs);
    // "the pump takes 0.72 s to answer a sample; sampling every 0.8 s, not 0.5 s".
    static QString notice(int askedMs, int chosenMs, qint64 tookMs);
};
