// fluxo-sim: a simulated FLUXO dosing pump on a pseudo-terminal.
#include "BalanceServer.h"
#include "ControlCommand.h"
#include "PumpServer.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace fluxosim;

namespace {

const char usage[] =
    "Usage: fluxo-sim [OPTION]...\n"
    "A simulated FLUXO dosing pump on a pseudo-terminal. The first line on standard output is\n"
    "the device to open (9600 8N1); after a hangup the new device follows on a line of its\n"
    "own. The pump serves until SIGINT or SIGTERM.\n"
    "\n"
    "Options:\n"
    "  --address N       address the pump answers to, 0-98 (default 1)\n"
    "  --type 10|02      pump type FLUXO 10 (default) or FLUXO 02\n"
    "  --baud N          line rate for the pacing (default 9600: 1.04 ms per byte); a frame\n"
    "                    counts as received one line time per byte after its first byte, and\n"
    "                    answers are written at this rate\n"
    "  --turnaround MS   delay from a received frame to its answer, 0-1000 (default 2)\n"
    "  --fast            no line time in either direction (the turnaround still applies)\n"
    "  --speed N         run the pump's clock N times faster, 1-100 (default 1): volumes,\n"
    "                    elapsed time and dispense time; the line's pacing stays as it is\n"
    "  --log             print every frame received and sent on standard error, with a time\n"
    "                    stamp, the bytes (<STX>, <ETX>, <ACK>, <NAK>, <xx> in hex) and what\n"
    "                    the pump made of it\n"
    "  --link PATH       keep a symbolic link PATH to the current device; gone while hung up,\n"
    "                    removed on exit\n"
    "  --seed N          seed for the random share of noise and dropped answers (default 1)\n"
    "  --balance         a balance under the outlet on a pseudo-terminal of its own, its device\n"
    "                    on the second line: S, SI and Z at 9600 8N1, CR LF; it weighs what\n"
    "                    the pump delivered since its last zero\n"
    "  --balance-density G/ML  the fluid's density it weighs with (default 0.998)\n"
    "  --balance-noise G the noise on every weight, either side (default 0.0005)\n"
    "  --silent          start deaf and mute                 (same as: silent on)\n"
    "  --badlrc          start with wrong check characters   (badlrc on)\n"
    "  --nullrc          start with NUL check characters     (nullrc on)\n"
    "  --noise P         start with noise before answers     (noise P)\n"
    "  --drop P          start dropping answers              (drop P)\n"
    "  --trickle MS      start trickling answers             (trickle MS)\n"
    "  --error NAME      start with a pump error, repeatable (error NAME on)\n"
    "  --fault COMMAND   apply any command below at start, repeatable\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "\n"
    "Commands on standard input, one per line, while the pump runs (end of input is ignored):\n";

const char usageHint[] = "Usage: fluxo-sim [OPTION]...\n"
                         "Try 'fluxo-sim --help' for more information.\n";

std::atomic<bool> finished{false};

struct Settings
{
    ServerOptions server;
    std::vector<std::string> faultCommands;
    bool log = false;
    bool balance = false;
    BalanceServer::Options balanceOptions;
};

bool toLong(const std::string &text, long min, long max, long &value)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < min || v > max)
        return false;
    value = v;
    return true;
}

// Returns an empty string on success, else the one-line complaint.
std::string parseArguments(int argc, char **argv, Settings &settings, bool &help, bool &version)
{
    const std::vector<std::string> withValue = {
        "--address",         "--type",         "--baud", "--turnaround", "--link",  "--seed",
        "--speed",           "--noise",        "--drop", "--trickle",    "--error", "--fault",
        "--balance-density", "--balance-noise"};
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool hasValue = false;
        const auto equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            hasValue = true;
        }
        bool takesValue = false;
        for (const auto &name : withValue)
            takesValue = takesValue || option == name;
        if (takesValue && !hasValue) {
            if (i + 1 >= argc)
                return "option " + option + " needs a value";
            value = argv[++i];
        } else if (!takesValue && hasValue) {
            return "option " + option + " takes no value";
        }

        long number = 0;
        ServerOptions &s = settings.server;
        const std::string bad = "bad value '" + value + "' for " + option;
        if (option == "-h" || option == "--help") {
            help = true;
        } else if (option == "--version") {
            version = true;
        } else if (option == "--address") {
            if (!toLong(value, 0, 98, number))
                return bad + " (0-98)";
            s.pump.address = static_cast<int>(number);
        } else if (option == "--type") {
            if (value != "10" && value != "02")
                return bad + " (10 or 02)";
            s.pump.type = value == "02" ? PumpType::Fluxo02 : PumpType::Fluxo10;
        } else if (option == "--baud") {
            if (!toLong(value, 300, 1000000, number))
                return bad + " (300-1000000)";
            s.baud = static_cast<int>(number);
        } else if (option == "--turnaround") {
            if (!toLong(value, 0, 1000, number))
                return bad + " (0-1000 ms)";
            s.turnaroundMs = static_cast<int>(number);
        } else if (option == "--speed") {
            if (!toLong(value, 1, 100, number))
                return bad + " (1-100)";
            s.speed = static_cast<int>(number);
        } else if (option == "--seed") {
            if (!toLong(value, 0, 2147483647, number))
                return bad;
            s.pump.seed = static_cast<std::uint32_t>(number);
        } else if (option == "--link") {
            if (value.empty())
                return bad;
            s.linkPath = value;
        } else if (option == "--balance") {
            settings.balance = true;
        } else if (option == "--balance-density" || option == "--balance-noise") {
            char *end = nullptr;
            const double v = std::strtod(value.c_str(), &end);
            const bool density = option == "--balance-density";
            if (value.empty() || *end != '\0' ||
                !(density ? v >= 0.1 && v <= 25 : v >= 0 && v <= 1))
                return bad + (density ? " (0.1-25 g/ml)" : " (0-1 g)");
            (density ? settings.balanceOptions.density : settings.balanceOptions.noiseG) = v;
        } else if (option == "--fast") {
            s.fast = true;
        } else if (option == "--log") {
            settings.log = true;
        } else if (option == "--silent" || option == "--badlrc" || option == "--nullrc") {
            settings.faultCommands.push_back(option.substr(2) + " on");
        } else if (option == "--noise" || option == "--drop" || option == "--trickle") {
            settings.faultCommands.push_back(option.substr(2) + " " + value);
        } else if (option == "--error") {
            settings.faultCommands.push_back("error " + value + " on");
        } else if (option == "--fault") {
            settings.faultCommands.push_back(value);
        } else {
            if (option.empty() || option[0] != '-')
                return "unexpected argument '" + option + "'";
            return "unknown option '" + option + "'";
        }
    }
    // Fault options go through the same grammar as stdin, so they are checked the same way.
    for (const std::string &line : settings.faultCommands) {
        const ControlResult result = applyControlCommand(line, settings.server.faults);
        if (!result.ok)
            return "bad fault '" + line + "': " + result.message;
    }
    return {};
}

std::string clockText(std::int64_t wallUs)
{
    const time_t seconds = static_cast<time_t>(wallUs / 1000000);
    tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<long>(wallUs % 1000000 / 1000));
    return text;
}

// Reads operator commands until end of input or until the program finishes.
void readCommands(PumpServer &server)
{
    std::string pendingLine;
    while (!finished) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 200) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            return; // end of input: keep serving without commands
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (pendingLine.size() < 1024) // a runaway line is cut, not hoarded
                    pendingLine += buffer[i];
                continue;
            }
            const ControlResult result = server.command(pendingLine);
            pendingLine.clear();
            if (!result.ok)
                std::fprintf(stderr, "fluxo-sim: %s\n", result.message.c_str());
            else if (!result.message.empty())
                std::fputs(result.message.c_str(), stderr);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    Settings settings;
    bool help = false;
    bool version = false;
    const std::string complaint = parseArguments(argc, argv, settings, help, version);
    if (!complaint.empty()) {
        std::fprintf(stderr, "fluxo-sim: %s\n%s", complaint.c_str(), usageHint);
        return 2;
    }
    if (help) {
        std::fputs(usage, stdout);
        std::fputs(controlCommandHelp(), stdout);
        return 0;
    }
    if (version) {
        std::puts("fluxo-sim " FLUXO_SIM_VERSION);
        return 0;
    }

    // Signals are taken by sigwait in main only; every thread started later inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    PumpServer server(settings.server);
    const bool log = settings.log;
    server.setListener([log](const LogEntry &entry) {
        if (entry.kind == LogEntry::Kind::Device) {
            std::printf("%s\n", entry.verdict.c_str());
            std::fflush(stdout);
        }
        if (log || entry.kind == LogEntry::Kind::Event)
            std::fprintf(stderr, "%s %s\n", clockText(entry.wallUs).c_str(), entry.text().c_str());
    });
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "fluxo-sim: %s\n", error.c_str());
        return 1;
    }
    // The balance's device follows the pump's first line.
    BalanceServer balance(settings.balanceOptions, [&server](std::int64_t *volume, bool *moving) {
        server.delivery(volume, moving);
    });
    if (settings.balance) {
        if (!balance.start(&error)) {
            std::fprintf(stderr, "fluxo-sim: balance: %s\n", error.c_str());
            server.stop();
            return 1;
        }
        std::printf("%s\n", balance.devicePath().c_str());
        std::fflush(stdout);
    }
    std::thread commands(readCommands, std::ref(server));

    int signal = 0;
    sigwait(&signals, &signal);
    finished = true;
    commands.join();
    balance.stop();
    server.stop();
    return 0;
}
