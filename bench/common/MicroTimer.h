#pragma once

#include <functional>

// Time per call of a small piece of code: batches of calls timed with a steady clock, repeated,
// the median batch taken so that a busy neighbour on the machine moves the figure little.
class MicroTimer
{
public:
    // Nanoseconds per call.
    static double nsPerCall(const std::function<void()> &call);

    // Keeps the compiler from dropping a result nobody reads.
    template<class T>
    static void keep(const T &value)
    {
        asm volatile("" : : "g"(&value) : "memory");
    }
};
