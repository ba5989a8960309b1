#pragma once

#include <cstdio>

// One checked property of a fuzz target. A failure names the property and traps, so libFuzzer
// stops and keeps the input as a crash artifact.
inline void require(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::fflush(stderr);
    __builtin_trap();
}
