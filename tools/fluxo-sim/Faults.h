#pragma once

#include <array>
#include <cstdint>

namespace fluxosim {

// Faults switched by the operator (command line or stdin) or by a test. The pump model applies
// the ones that change answers; the server applies trickle.
struct Faults
{
    bool silent = false;     // deaf and mute: frames are neither obeyed nor answered
    bool badLrc = false;     // data frames carry the true check character XOR 0x55
    bool nullLrc = false;    // queries answer 00000001, whose STX..ETX XOR to 0 (NUL check)
    double noise = 0.0;      // share of answers preceded by one noise byte
    double drop = 0.0;       // share of answers lost after the command took effect
    int trickleMs = 0;       // gap between answer bytes, 0 = line rate
    std::uint8_t errors = 0; // error bits of status group 6
    std::array<std::uint8_t, 7> forceOn{};  // status bits forced set, per group
    std::array<std::uint8_t, 7> forceOff{}; // status bits forced clear, per group
};

} // namespace fluxosim
