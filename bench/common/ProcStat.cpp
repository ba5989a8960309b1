#include "ProcStat.h"

#include <fstream>
#include <sstream>

#include <unistd.h>

double ProcStat::cpuMsFrom(const std::string &statPath)
{
    std::ifstream file(statPath);
    std::string text;
    std::getline(file, text);
    // The command name may hold blanks and parentheses: fields are counted after the last ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // From the state (field 3), utime and stime are fields 14 and 15.
    double ticks = 0.0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n >= 14)
            ticks += std::stod(field);
    }
    return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double ProcStat::cpuMs(pid_t pid)
{
    return cpuMsFrom("/proc/" + std::to_string(pid) + "/stat");
}

double ProcStat::threadCpuMs(pid_t pid, pid_t tid)
{
    return cpuMsFrom("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat");
}

double ProcStat::statusMb(pid_t pid, const std::string &field)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return -1.0;
}
