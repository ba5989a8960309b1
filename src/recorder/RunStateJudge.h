#pragma once

#include "recorder/ProcessSample.h"

#include <optional>

// The run state from what the pump reports and what it last accepted. The status flags only say
// whether the motor moves; whether a standing pump is paused and a moving one primes follows
// from the run command (Start, Stop, Pause, Prime) it accepted last. A start or stop at the
// pump's own keypad shows as running or stopped.
class RunStateJudge
{
public:
    enum class Key { None, Start, Stop, Pause, Prime };

    // keyIsNewer: the key was accepted after the status was read (the first sample after it),
    // so the status still shows the state before the key, and the key tells the state.
    static ProcessSample::RunState judge(std::optional<bool> moving, Key lastAccepted,
                                         bool keyIsNewer = false);
    // A dose that ended by itself: stopped after a Start taken from here, no error flag set, and
    // its target reached (the volume in volume mode, the dispense time otherwise; a run without
    // a dispense time in flow mode ends only when stopped). A stop at the keypad before the
    // target stays a stop.
    static bool doseDone(const ProcessSample &sample, Key lastAccepted);
    // The run key a command id stands for, if any.
    static std::optional<Key> keyOf(int commandId);
    // Whether the pump took a command, from the link's flags after its exchange: an ACK, or,
    // with the protocol answer off, no NAK on an open port.
    static bool accepted(bool ack, bool nak, bool protocolAnswer, bool portOpen);
};
