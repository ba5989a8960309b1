#pragma once

#include <string>
#include <sys/types.h>

// What the kernel reports about a process or one of its threads under /proc: CPU time used and
// resident memory.
class ProcStat
{
public:
    // User plus system CPU time in milliseconds, from .../stat; negative when unreadable.
    static double cpuMs(pid_t pid);
    static double threadCpuMs(pid_t pid, pid_t tid);
    // A "kB" field of /proc/<pid>/status ("VmRSS", "VmHWM") in megabytes; negative if absent.
    static double statusMb(pid_t pid, const std::string &field);

private:
    static double cpuMsFrom(const std::string &statPath);
};
