#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// A program the benchmark starts and must end again: its output goes to files, it receives
// SIGTERM should the benchmark itself die, and it is stopped (SIGTERM, then SIGKILL) and reaped
// when the object goes.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // argv[0] is the program's path. Standard output and error go to the given files (created
    // afresh); standard input is /dev/null.
    bool start(const std::vector<std::string> &argv, const std::string &outPath,
               const std::string &errPath, std::string *error);
    pid_t pid() const { return child; }
    bool alive();
    // Asks it to end (SIGTERM) without waiting, so that many can end side by side.
    void terminate();
    // SIGTERM, up to graceMs for it to end, then SIGKILL; always reaps it.
    void stop(int graceMs = 3000);

private:
    pid_t child = -1;
    bool reaped = false;
};
