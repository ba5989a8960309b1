#pragma once

#include "program/ProgramStatus.h"

#include <QtGlobal>

// Decides when a program's status goes out on the program topic: a new state or step at once,
// so that no reader misses one; progress alone at most every MinGapMs, however often the runner
// reports it.
class ProgramThrottle
{
public:
    static constexpr qint64 MinGapMs = 250;

    // 0 when this status should go out now (it then counts as the last one); otherwise how many
    // milliseconds later the newest status should go out instead.
    qint64 take(const ProgramStatus &status, qint64 nowMs);
    // The newest status went out at nowMs, after a wait take() asked for.
    void sent(const ProgramStatus &status, qint64 nowMs);

private:
    ProgramStatus::State lastState = ProgramStatus::State::Idle;
    int lastPosition = -1;
    qint64 lastMs = -1;
};
