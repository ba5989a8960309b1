#pragma once

#include <QObject>

class PumpCore;
class ProgramRunner;

// What a front-end set going on a pump core of its own, and the Stop that ends it before the
// front-end leaves. Nobody else queues run commands on that core, so a program on its runner is
// the front-end's, and so is a Start or Prime the pump took, until the pump is seen standing or
// any Stop is taken. A run set going at the pump's keypad, or by a program on another core, shows
// only as a moving pump and is left as it is.
class ExitStop : public QObject
{
    Q_OBJECT

public:
    // How long the Stop on the way out may take: silence and a lost port are tried again until
    // then.
    static constexpr int BoundMs = 3000;

    ExitStop(PumpCore &core, const ProgramRunner &runner, QObject *parent = nullptr);

    // A program, run or priming of ours may still be going.
    bool needed() const;
    // Sends Stop, again while it meets silence and with a lost port opened again, until the pump
    // takes it or boundMs pass; nothing else goes out meanwhile. True when it was taken.
    static bool stopPump(PumpCore &core, int boundMs);
    // Waits, at most boundMs, until a program that is still active ends: after the Stop it reads
    // the pump's count and closes its run in the journal with it. True when none is active.
    static bool awaitEnd(const ProgramRunner &runner, int boundMs = EndMs);
    static constexpr int EndMs = 4000; // ProgramRunner::FinalCountMs and room for a busy queue

private:
    PumpCore &core;
    const ProgramRunner &runner;
    bool moving = false; // a Start or Prime was taken, and no sample since shows the pump standing
};
