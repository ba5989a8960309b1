// The program itself, started as an operator would, polling the simulated pump: its CPU time as
// a share of one core and its resident memory in the steady state, and how long it takes from
// the start of the process until the pump first answers it.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "Milestones.h"
#include "PresetSettings.h"
#include "ProcStat.h"
#include "PumpServer.h"
#include "WireTrace.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = BenchEnv::Clock;

std::string ownDirectory()
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

// The environment of this process with the given variables replaced or added.
std::vector<std::string> environment(const std::vector<std::pair<std::string, std::string>> &set)
{
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto &v : set)
            replaced = replaced || entry.rfind(v.first + "=", 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto &v : set)
        env.push_back(v.first + "=" + v.second);
    return env;
}

pid_t spawn(const std::string &program, const std::string &directory,
            const std::vector<std::string> &env, const std::string &output)
{
    // The child starts in the program's directory (its help collection lies beside it) with its
    // output in a file. Everything is prepared before fork: the simulator's thread runs, so the
    // child may only make system calls until exec.
    std::vector<char *> envp;
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (::chdir(directory.c_str()) != 0)
        ::_exit(127);
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(127);
}

// The program's own messages, for a failed run.
void showOutput(const std::string &path)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line))
        std::cerr << "dosetta: " << line << '\n';
}

// Set once the child has been waited for: its number may then belong to someone else.
bool childReaped = false;

bool alive(pid_t pid)
{
    if (childReaped)
        return false;
    int status = 0;
    childReaped = ::waitpid(pid, &status, WNOHANG) == pid;
    return !childReaped;
}

void stop(pid_t pid)
{
    if (!alive(pid))
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (!alive(pid))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    childReaped = true;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchReport out("4 running program");
    const int seconds = BenchEnv::positiveInt("PROGRAM_SECONDS", 60);
    const std::string directory = ownDirectory();
    const std::string program = argc > 1 ? argv[1] : directory + "/dosetta";

    WireTrace trace;
    fluxosim::ServerOptions options;
    options.pump.address = 1;
    fluxosim::PumpServer pump(options);
    pump.setListener([&trace](const fluxosim::LogEntry &entry) { trace.record(entry); });
    std::string error;
    if (!pump.start(&error)) {
        out.failed(error);
        return 1;
    }
    PresetSettings settings(pump.devicePath(), options.pump.address);
    if (!settings.ok()) {
        out.failed("no temporary directory");
        return 1;
    }
    const auto env = environment({{"QT_QPA_PLATFORM", "offscreen"},
                                  {"XDG_CONFIG_HOME", settings.configHome()},
                                  {"XDG_RUNTIME_DIR", settings.runtimeDir()},
                                  {"DOSETTA_PORTS", pump.devicePath()}});

    const auto start = Clock::now();
    const pid_t pid = spawn(program, directory, env, settings.path("output.txt"));
    if (pid < 0) {
        out.failed("cannot start " + program);
        return 1;
    }

    // Until the first poll is answered, then a settling pause before the steady window opens.
    const Milestones milestones(trace);
    Clock::time_point linkUp;
    Clock::time_point firstPoll;
    const auto deadline = start + std::chrono::seconds(seconds);
    bool polled = false;
    while (Clock::now() < deadline && alive(pid)) {
        polled = milestones.firstAnswerTo("?TV", &firstPoll);
        if (polled)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool checked = milestones.firstAnswerTo("?SI", &linkUp);
    if (!polled) {
        out.failed(alive(pid) ? "the pump was never polled" : "the program ended early");
        stop(pid);
        showOutput(settings.path("output.txt"));
        return 1;
    }
    std::this_thread::sleep_until(firstPoll + std::chrono::seconds(2));
    const auto steadyFrom = Clock::now();
    const double cpuFrom = ProcStat::cpuMs(pid);
    std::this_thread::sleep_until(std::max(deadline, steadyFrom + std::chrono::seconds(5)));
    const auto steadyTo = Clock::now();
    const double cpuTo = ProcStat::cpuMs(pid);
    const double rss = ProcStat::statusMb(pid, "VmRSS");
    const double peak = ProcStat::statusMb(pid, "VmHWM");
    const bool survived = alive(pid);
    stop(pid);
    if (!survived) {
        out.failed("the program ended during the run");
        showOutput(settings.path("output.txt"));
        return 1;
    }

    const double steadyMs = BenchEnv::msBetween(steadyFrom, steadyTo);
    const WireTrace::Tally polls = trace.tally(steadyFrom, steadyTo);
    out.info("run length", BenchEnv::msBetween(start, steadyTo) / 1000.0, "s", 0);
    if (checked)
        out.info("start to first \"?SI\" answered", BenchEnv::msBetween(start, linkUp), "ms", 0);
    out.info("start to first poll answered", BenchEnv::msBetween(start, firstPoll), "ms", 0);
    out.info("answers per second, steady", polls.answers * 1000.0 / steadyMs, "/s", 1);
    out.atMost("CPU, steady (share of one core)", (cpuTo - cpuFrom) / steadyMs * 100.0, "%", 2,
               3.0);
    out.info("CPU, whole run incl. start-up", cpuTo / BenchEnv::msBetween(start, steadyTo) * 100.0,
             "%", 2);
    out.atMost("resident memory (VmRSS)", rss, "MB", 1, 60.0);
    out.info("resident memory, peak (VmHWM)", peak, "MB", 1);
    return 0;
}
