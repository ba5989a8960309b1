#pragma once

#include <cstdint>

namespace fluxosim {

enum class PumpType { Fluxo10, Fluxo02 };

// What the simulated pump is at power-on; IP returns to these values.
struct PumpConfig
{
    int address = 1; // 0-98
    PumpType type = PumpType::Fluxo10;
    std::uint32_t seed = 1; // for the random share of noise and dropped answers
};

} // namespace fluxosim
