// A fleet on one broker, served two ways in one run: for each fleet size, N simulated pumps
// (fluxo-sim, paced at 9600 baud, frame log on) served by ONE dosetta-cli serve --config process
// (a generated file with a [pump pN] section per pump), then the same pumps served by N bridges
// (dosetta-cli serve, one per pump), each on a mosquitto broker of its own on 127.0.0.1. A remote
// user (an MQTT 5 client in this process) sets each pump's flow rate FLEET_SETS times, to a new
// value each time, at random moments of the poll cycle, every other set after a quiet spell of
// 1.3 to 2 s (an idle second for that pump's connection), and measures:
//   - set to frame, counted from the service's receipt of the set: the service stamps each
//     message it reads from its socket (DOSETTA_RECEIPT_STAMPS=1, on standard error, system
//     clock) and the simulator logs the RV frame; the rest of the exchange on the wire at the
//     receipt is taken off (a set still in the broker cannot be put ahead of a poll that has
//     started); the sets after an idle second also apart;
//   - the broker's hop, from the publish to that receipt (and to the broker's copy back at this
//     client, which left the broker at about the same moment), and the frame counted from the
//     publish;
//   - change to state: from the pump's ACK of that frame to the state that shows the new value;
//   - CPU (utime + stime) per pump over the measured period and resident memory (VmRSS, VmHWM)
//     per pump, of the service or of every bridge; the broker and the simulators beside them.
//
// Run it with:  BENCH_ONLY=fleet bench/run.sh
//   FLEET_COUNTS="1 10 30"  fleet sizes, each served both ways (FLEET_PUMPS=N: that size only)
//   FLEET_HOSTING="service bridges"  either or both
//   FLEET_SETS=N            flow-rate sets per pump (default 20, at most 99; twice that, at most
//                           99, for a fleet of one, so that its idle-second series has 20 sets)
//   FLEET_IDLE_SECONDS=N    polling only, before the sets, for the CPU at rest (default 10)
//   FLEET_BROKER_NAGLE=1    the broker as installed: Nagle's algorithm on (by default the
//                           benchmark's broker sends at once, set_tcp_nodelay true)
//   FLEET_SAMPLES=FILE      also write every set's timings to FILE (CSV)
//   FLEET_KEEP=1            keep the frame logs, the services' output and the brokers' files
// Every process it starts ends with it, also when it is killed.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "ChildProcess.h"
#include "FleetClient.h"
#include "LocalBroker.h"
#include "ProcStat.h"
#include "ReceiptLog.h"
#include "SampleStats.h"
#include "SimFrameLog.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Baud = 9600;
constexpr double ByteMs = 10.0 * 1000.0 / Baud; // 8N1
constexpr const char *Prefix = "dosetta";
// A set whose new value has not shown in the state by then counts as lost.
constexpr double SampleTimeoutMs = 5000.0;
// A set after this long without a message from the remote user to its pump counts as one that
// follows an idle second.
constexpr double IdleBeforeMs = 1200.0;
// The goals for the service hold at this many pumps and more.
constexpr int GoalPumps = 30;

std::atomic<bool> interrupted{false};

enum class Hosting { Service, Bridges };

struct Pump
{
    std::string id;
    int address = 1;
    std::string device;
    std::string simLog;
    std::unique_ptr<ChildProcess> sim = std::make_unique<ChildProcess>();
    std::unique_ptr<ChildProcess> bridge = std::make_unique<ChildProcess>(); // one bridge each
    bool online = false;
    bool ready = false; // a state with the link up and a flow rate came
    // The set in progress: its sample index, or -1 while the next one is due at dueMs.
    int current = -1;
    double lastSentMs = 0; // this user's last message to the pump
    int nextIndex = 0;
    double dueMs = 0;
    std::vector<std::size_t> samples; // indices into the sample list
};

struct Sample
{
    std::size_t pump = 0;
    int index = 0;
    long long thousandths = 0; // the value as the frame carries it
    double publishMs = -1;
    double receiptMs = -1; // the service read it from its socket
    double echoMs = -1;    // the broker's copy of the set, back at this client
    double resultMs = -1;
    bool resultOk = false;
    double stateMs = -1; // first state that shows the value
    double quietMs = 0;  // since this user's last message to the same pump
};

// What a sample came to, from the pump's frame log, all on the system clock.
struct Timing
{
    bool found = false;
    double frameMs = 0;     // the frame's last byte at the pump
    double firstByteMs = 0; // its first byte on the line
    // The rest of the exchange on the wire at the publish and at the receipt (0: none), and
    // whether a poll started after that moment, before the set.
    double inFlightAtPublishMs = 0;
    bool overtakenAfterPublish = false;
    double inFlightAtReceiptMs = 0;
    bool overtakenAfterReceipt = false;
    bool acked = false;
    double ackMs = 0; // the ACK's last byte left the pump
};

std::string ownDirectory()
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

std::string firstLine(const std::string &path)
{
    std::ifstream file(path);
    std::string line;
    if (std::getline(file, line) && file)
        return line;
    return {}; // not yet a whole line
}

void tail(const std::string &path, const std::string &label)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line))
        lines.push_back(line);
    const std::size_t from = lines.size() > 15 ? lines.size() - 15 : 0;
    for (std::size_t i = from; i < lines.size(); ++i)
        std::cerr << label << ": " << lines[i] << '\n';
}

// A number after "key": in a compact JSON object; NaN when absent or null.
double jsonNumber(const std::string &json, const std::string &key)
{
    const std::string needle = "\"" + key + "\":";
    const std::size_t at = json.find(needle);
    if (at == std::string::npos)
        return std::nan("");
    const char *start = json.c_str() + at + needle.size();
    char *end = nullptr;
    const double value = std::strtod(start, &end);
    return end == start ? std::nan("") : value;
}

bool jsonHas(const std::string &json, const std::string &text)
{
    return json.find(text) != std::string::npos;
}

// Busy and total jiffies of the whole machine, from the first line of /proc/stat.
std::pair<double, double> machineJiffies()
{
    std::ifstream file("/proc/stat");
    std::string cpu;
    file >> cpu;
    double total = 0;
    double idle = 0;
    for (int i = 0; i < 8; ++i) {
        double value = 0;
        file >> value;
        total += value;
        if (i == 3 || i == 4) // idle, iowait
            idle += value;
    }
    return {total - idle, total};
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one;
    std::string five;
    std::string fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double ownCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::string valueText(long long thousandths)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", thousandths / 1000, thousandths % 1000 / 10);
    return text;
}

// Distinct for every index, and always a change from the one before.
long long valueOf(int index)
{
    return (index % 2 == 0 ? 21000 : 41000) + index * 10;
}

Timing timingOf(const Sample &s, const std::vector<SimFrameLog::Frame> &frames)
{
    Timing t;
    char needle[32];
    std::snprintf(needle, sizeof needle, "RV%08lld", s.thousandths);
    std::size_t set = frames.size();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].received && frames[i].text.find(needle) != std::string::npos) {
            set = i;
            break;
        }
    }
    if (set == frames.size())
        return t;
    const SimFrameLog::Frame &frame = frames[set];
    t.found = true;
    t.frameMs = frame.epochMs;
    t.firstByteMs = frame.epochMs - static_cast<double>(frame.wireBytes) * ByteMs;
    if (set + 1 < frames.size() && !frames[set + 1].received) {
        t.acked = frames[set + 1].text == "<ACK>";
        t.ackMs = frames[set + 1].epochMs;
    }
    // The exchanges before it: a received frame and the answer after it, if one came.
    for (std::size_t i = 0; i < set; ++i) {
        if (!frames[i].received)
            continue;
        const double start = frames[i].epochMs - static_cast<double>(frames[i].wireBytes) * ByteMs;
        const double end = i + 1 < frames.size() && !frames[i + 1].received ? frames[i + 1].epochMs
                                                                            : frames[i].epochMs;
        const auto at = [&](double moment, double *inFlight, bool *overtaken) {
            if (moment < 0)
                return;
            if (start <= moment && moment < end)
                *inFlight = end - moment;
            else if (start > moment)
                *overtaken = true;
        };
        at(s.publishMs, &t.inFlightAtPublishMs, &t.overtakenAfterPublish);
        at(s.receiptMs, &t.inFlightAtReceiptMs, &t.overtakenAfterReceipt);
    }
    return t;
}

std::vector<int> countsFromEnvironment()
{
    const int one = BenchEnv::positiveInt("FLEET_PUMPS", 0);
    if (one > 0)
        return {one};
    const char *text = std::getenv("FLEET_COUNTS");
    std::istringstream words(text != nullptr && *text != '\0' ? text : "1 10 30");
    std::vector<int> counts;
    int n = 0;
    while (words >> n) {
        if (n > 0 && n <= 64) // the service's own limit of pumps in one file
            counts.push_back(n);
    }
    return counts;
}

std::vector<Hosting> hostingFromEnvironment()
{
    const char *text = std::getenv("FLEET_HOSTING");
    std::istringstream words(text != nullptr && *text != '\0' ? text : "service bridges");
    std::vector<Hosting> hostings;
    std::string word;
    while (words >> word) {
        if (word == "service")
            hostings.push_back(Hosting::Service);
        else if (word == "bridges")
            hostings.push_back(Hosting::Bridges);
    }
    return hostings;
}

struct FleetRun
{
    int count = 1;
    Hosting hosting = Hosting::Service;
    int sets = 20;
    int idleSeconds = 10;
    bool noDelay = true;
    std::string bin;
    std::string work; // this run's own directory
    std::ofstream *csv = nullptr;
};

bool writeFile(const std::string &path, const std::string &text)
{
    std::ofstream file(path, std::ios::trunc);
    file << text;
    return static_cast<bool>(file);
}

// One fleet served one way: starts everything, measures, ends everything, reports.
bool runFleet(const FleetRun &run)
{
    const int count = run.count;
    const bool service = run.hosting == Hosting::Service;
    const std::string hostingName =
        service ? "one service" : std::to_string(count) + (count == 1 ? " bridge" : " bridges");
    BenchReport out("8 fleet of " + std::to_string(count) + ", " + hostingName);
    const std::string &work = run.work;
    ::mkdir(work.c_str(), 0700);
    out.info("load average at the start", loadAverage());

    std::string error;
    LocalBroker broker(work, run.noDelay);
    if (!broker.start("/usr/sbin/mosquitto", &error)) {
        out.failed(error);
        tail(work + "/mosquitto.log", "mosquitto");
        return false;
    }

    // The pumps, then what serves them once every device is known.
    std::vector<Pump> pumps(static_cast<std::size_t>(count));
    std::map<std::string, std::size_t> byId;
    for (int i = 0; i < count; ++i) {
        Pump &p = pumps[static_cast<std::size_t>(i)];
        p.id = "p" + std::to_string(i + 1);
        p.address = i % 98 + 1;
        p.simLog = work + "/" + p.id + "-sim.log";
        byId[p.id] = static_cast<std::size_t>(i);
        if (!p.sim->start({run.bin + "/fluxo-sim", "--log", "--address", std::to_string(p.address)},
                          work + "/" + p.id + "-sim.out", p.simLog, &error)) {
            out.failed(error);
            return false;
        }
    }
    const auto started = BenchEnv::Clock::now();
    for (Pump &p : pumps) {
        while (p.device.empty() && p.sim->alive() && !interrupted &&
               BenchEnv::Clock::now() - started < std::chrono::seconds(10)) {
            p.device = firstLine(work + "/" + p.id + "-sim.out");
            if (p.device.empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (p.device.empty()) {
            out.failed("fluxo-sim " + p.id + " gave no device");
            tail(p.simLog, p.id);
            return false;
        }
    }

    // Each run journals to a file of its own, and every served set is stamped at its receipt;
    // set before the client's threads run.
    ::setenv("DOSETTA_JOURNAL", (work + "/journal.sqlite").c_str(), 1);
    ::setenv("DOSETTA_RECEIPT_STAMPS", "1", 1);
    FleetClient client(broker.uri(), "bench-fleet-user");
    if (!client.connect(&error) ||
        !client.subscribe(std::string(Prefix) + "/+/availability", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/state", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/result", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/set/flow-rate", &error) ||
        !client.keepAwake("bench-fleet/wake", &error)) {
        out.failed("client: " + error);
        return false;
    }

    ChildProcess serviceProcess;
    std::vector<std::string> logs; // where the receipt stamps go
    const double startedMs = FleetClient::nowMs();
    if (service) {
        std::string config =
            "broker = " + broker.uri() + "\nallow-control = yes\n"; // what every pump shares
        for (const Pump &p : pumps)
            config += "\n[pump " + p.id + "]\nport = " + p.device +
                      "\naddress = " + std::to_string(p.address) + "\n";
        const std::string configPath = work + "/fleet.conf";
        logs.push_back(work + "/service.log");
        if (!writeFile(configPath, config) ||
            !serviceProcess.start({run.bin + "/dosetta-cli", "serve", "--config", configPath},
                                  work + "/service.out", logs.back(), &error)) {
            out.failed(error.empty() ? "cannot write " + configPath : error);
            return false;
        }
    } else {
        for (Pump &p : pumps) {
            logs.push_back(work + "/" + p.id + "-bridge.log");
            if (!p.bridge->start({run.bin + "/dosetta-cli", "--port", p.device, "--address",
                                  std::to_string(p.address), "serve", "--broker", broker.uri(),
                                  "--id", p.id, "--allow-control"},
                                 work + "/" + p.id + "-bridge.out", logs.back(), &error)) {
                out.failed(error);
                return false;
            }
        }
    }
    std::vector<ChildProcess *> hosts; // the processes that serve the pumps
    if (service) {
        hosts.push_back(&serviceProcess);
    } else {
        for (Pump &p : pumps)
            hosts.push_back(p.bridge.get());
    }
    const auto endAll = [&] {
        // Every host ends side by side (each pump says "offline" first), then the pumps and the
        // broker.
        for (ChildProcess *h : hosts)
            h->terminate();
        for (ChildProcess *h : hosts)
            h->stop();
        for (Pump &p : pumps)
            p.sim->stop();
        client.disconnect();
        broker.stop();
    };

    std::vector<Sample> samples;
    // Everything the client receives goes through here.
    const auto handle = [&](const FleetClient::Message &m) {
        const std::size_t first = m.topic.find('/');
        const std::size_t second = m.topic.find('/', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            return;
        const auto found = byId.find(m.topic.substr(first + 1, second - first - 1));
        if (found == byId.end())
            return;
        Pump &p = pumps[found->second];
        const std::string kind = m.topic.substr(second + 1);
        if (kind == "availability") {
            p.online = m.payload == "online";
        } else if (kind == "state") {
            const double flow = jsonNumber(m.payload, "flow_rate_ml_min");
            p.ready =
                p.ready || (jsonHas(m.payload, "\"link\":\"connected\"") && !std::isnan(flow));
            if (p.current >= 0) {
                Sample &s = samples[static_cast<std::size_t>(p.current)];
                if (s.stateMs < 0 && !std::isnan(flow) &&
                    std::llround(flow * 1000.0) == s.thousandths)
                    s.stateMs = m.epochMs;
            }
        } else if (kind == "set/flow-rate") {
            // The broker hands the set to the service and to this client alike.
            if (p.current >= 0 && samples[static_cast<std::size_t>(p.current)].echoMs < 0)
                samples[static_cast<std::size_t>(p.current)].echoMs = m.epochMs;
        } else if (kind == "result") {
            const std::size_t dash = m.correlation.rfind('-');
            if (dash == std::string::npos)
                return;
            const std::size_t index = std::strtoul(m.correlation.c_str() + dash + 1, nullptr, 10);
            if (index < samples.size() && samples[index].pump == found->second) {
                samples[index].resultMs = m.epochMs;
                samples[index].resultOk = jsonHas(m.payload, "\"ok\":true");
            }
        }
    };
    const auto receive = [&](double untilMs) {
        const auto deadline = FleetClient::WallClock::time_point(
            std::chrono::duration_cast<FleetClient::WallClock::duration>(
                std::chrono::duration<double, std::milli>(untilMs)));
        client.waitUntil(deadline);
        for (const FleetClient::Message &m : client.take())
            handle(m);
    };

    // Up: every pump is published, and answers.
    const double readyBy = startedMs + 30000.0 + 500.0 * count;
    bool allReady = false;
    while (!allReady && !interrupted && FleetClient::nowMs() < readyBy) {
        receive(FleetClient::nowMs() + 100);
        allReady = std::all_of(pumps.begin(), pumps.end(),
                               [](const Pump &p) { return p.online && p.ready; });
        if (std::any_of(hosts.begin(), hosts.end(), [](ChildProcess *h) { return !h->alive(); }))
            break;
    }
    const double readyMs = FleetClient::nowMs();
    if (!allReady) {
        for (std::size_t i = 0; i < pumps.size(); ++i) {
            if (!pumps[i].ready) {
                out.failed(interrupted ? "interrupted"
                                       : pumps[i].id + " never published its state");
                tail(logs[service ? 0 : i], service ? "service" : pumps[i].id);
                break;
            }
        }
        endAll();
        return false;
    }

    const auto cpuOf = [](const std::vector<ChildProcess *> &processes) {
        std::vector<double> ms;
        for (ChildProcess *c : processes)
            ms.push_back(ProcStat::cpuMs(c->pid()));
        return ms;
    };
    std::vector<ChildProcess *> sims;
    for (Pump &p : pumps)
        sims.push_back(p.sim.get());

    // Polling only, after the slow rotation has been round once.
    const double settleUntil = readyMs + 13000.0;
    while (!interrupted && FleetClient::nowMs() < settleUntil)
        receive(settleUntil);
    const double idleFrom = FleetClient::nowMs();
    const std::vector<double> hostCpu0 = cpuOf(hosts);
    const std::vector<double> simCpu0 = cpuOf(sims);
    const double brokerCpu0 = ProcStat::cpuMs(broker.child().pid());
    const double ownCpu0 = ownCpuMs();
    const auto machine0 = machineJiffies();
    const double idleUntil = idleFrom + run.idleSeconds * 1000.0;
    while (!interrupted && FleetClient::nowMs() < idleUntil)
        receive(idleUntil);
    const double idleTo = FleetClient::nowMs();
    const std::vector<double> hostCpu1 = cpuOf(hosts);
    const auto machine1 = machineJiffies();

    // The sets: each pump on its own, one at a time, the next 200 to 900 ms after the new value
    // showed, so that sets land anywhere in the poll cycle; every other one 1.3 to 2 s after it,
    // after an idle second.
    std::mt19937 random(4711);
    std::uniform_real_distribution<double> gap(200.0, 900.0);
    std::uniform_real_distribution<double> quietGap(1300.0, 2000.0);
    std::uniform_real_distribution<double> phase(0.0, 700.0);
    for (Pump &p : pumps) {
        p.dueMs = idleTo + phase(random);
        p.lastSentMs = startedMs; // nothing sent to it since it was started
    }
    bool done = false;
    while (!done && !interrupted) {
        double next = FleetClient::nowMs() + 100.0;
        done = true;
        for (std::size_t i = 0; i < pumps.size(); ++i) {
            Pump &p = pumps[i];
            const double now = FleetClient::nowMs();
            if (p.current >= 0) {
                const Sample &s = samples[static_cast<std::size_t>(p.current)];
                const bool finished = s.stateMs >= 0 && s.resultMs >= 0;
                if (finished || now - s.publishMs > SampleTimeoutMs) {
                    p.current = -1;
                    p.dueMs = now + (p.nextIndex % 2 == 0 ? quietGap(random) : gap(random));
                } else {
                    next = std::min(next, s.publishMs + SampleTimeoutMs);
                }
            }
            if (p.current < 0 && p.nextIndex < run.sets && now >= p.dueMs) {
                Sample s;
                s.pump = i;
                s.index = p.nextIndex++;
                s.thousandths = valueOf(s.index);
                samples.push_back(s);
                const std::size_t at = samples.size() - 1;
                p.current = static_cast<int>(at);
                p.samples.push_back(at);
                samples[at].publishMs =
                    client.publish(std::string(Prefix) + "/" + p.id + "/set/flow-rate",
                                   valueText(s.thousandths), p.id + "-" + std::to_string(at));
                samples[at].quietMs = samples[at].publishMs - p.lastSentMs;
                p.lastSentMs = samples[at].publishMs;
            }
            if (p.current < 0 && p.nextIndex < run.sets)
                next = std::min(next, p.dueMs);
            done = done && p.current < 0 && p.nextIndex >= run.sets;
        }
        receive(next);
    }
    const double setsTo = FleetClient::nowMs();
    const std::vector<double> hostCpu2 = cpuOf(hosts);
    const std::vector<double> simCpu2 = cpuOf(sims);
    const double brokerCpu2 = ProcStat::cpuMs(broker.child().pid());
    const double ownCpu2 = ownCpuMs();
    const auto machine2 = machineJiffies();
    std::vector<double> rss;
    std::vector<double> hwm;
    for (ChildProcess *h : hosts) {
        rss.push_back(ProcStat::statusMb(h->pid(), "VmRSS"));
        hwm.push_back(ProcStat::statusMb(h->pid(), "VmHWM"));
    }
    const double brokerRss = ProcStat::statusMb(broker.child().pid(), "VmRSS");
    const auto survivors =
        std::count_if(hosts.begin(), hosts.end(), [](ChildProcess *h) { return h->alive(); });
    endAll();
    if (interrupted) {
        out.failed("interrupted");
        return false;
    }

    // The receipts, once every host has ended and written them all.
    std::map<std::string, double> receipts;
    for (const std::string &log : logs)
        for (const auto &r : ReceiptLog::read(log, "/set/flow-rate"))
            receipts.insert(r);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto found = receipts.find(pumps[samples[i].pump].id + "-" + std::to_string(i));
        if (found != receipts.end())
            samples[i].receiptMs = found->second;
    }

    // The frames at the pumps.
    std::vector<double> hop;
    std::vector<double> hopIdleLine;
    std::vector<double> echo;
    std::vector<double> echoToReceipt;
    std::vector<double> fromPublish;
    std::vector<double> beyondFromPublish;
    std::vector<double> fromReceipt;
    std::vector<double> inFlight;
    std::vector<double> beyond;
    std::vector<double> firstBeyond;
    std::vector<double> beyondAfterIdle;
    std::vector<double> beyondAfterTraffic;
    std::vector<double> toResult;
    std::vector<double> toState;
    int withExchange = 0;
    int overtakenAfterPublish = 0;
    int overtakenAfterReceipt = 0;
    int lost = 0;
    int unstamped = 0;
    int refused = 0;
    const std::string mode = service ? "service" : "bridges";
    for (Pump &p : pumps) {
        const auto frames = SimFrameLog::read(p.simLog, idleTo);
        for (std::size_t index : p.samples) {
            const Sample &s = samples[index];
            const Timing t = timingOf(s, frames);
            if (!t.found || s.publishMs < 0) {
                ++lost;
                continue;
            }
            if (s.receiptMs < 0) {
                ++unstamped;
                continue;
            }
            const double over = t.frameMs - s.receiptMs - t.inFlightAtReceiptMs;
            hop.push_back(s.receiptMs - s.publishMs);
            if (t.inFlightAtPublishMs <= 0)
                hopIdleLine.push_back(s.receiptMs - s.publishMs);
            if (s.echoMs >= 0) {
                echo.push_back(s.echoMs - s.publishMs);
                echoToReceipt.push_back(s.receiptMs - s.echoMs);
            }
            fromPublish.push_back(t.frameMs - s.publishMs);
            beyondFromPublish.push_back(t.frameMs - s.publishMs - t.inFlightAtPublishMs);
            fromReceipt.push_back(t.frameMs - s.receiptMs);
            inFlight.push_back(t.inFlightAtReceiptMs);
            beyond.push_back(over);
            firstBeyond.push_back(t.firstByteMs - s.receiptMs - t.inFlightAtReceiptMs);
            (s.quietMs >= IdleBeforeMs ? beyondAfterIdle : beyondAfterTraffic).push_back(over);
            withExchange += t.inFlightAtReceiptMs > 0 ? 1 : 0;
            overtakenAfterPublish += t.overtakenAfterPublish ? 1 : 0;
            overtakenAfterReceipt += t.overtakenAfterReceipt ? 1 : 0;
            if (s.resultMs >= 0)
                toResult.push_back(s.resultMs - s.receiptMs);
            if (!s.resultOk)
                ++refused;
            if (t.acked && s.stateMs >= 0)
                toState.push_back(s.stateMs - t.ackMs);
            if (run.csv != nullptr)
                *run.csv << mode << ',' << count << ',' << p.id << ',' << s.index << ','
                         << BenchReport::format(s.publishMs, 1) << ','
                         << BenchReport::format(s.quietMs, 1) << ','
                         << BenchReport::format(s.receiptMs - s.publishMs, 2) << ','
                         << BenchReport::format(t.frameMs - s.receiptMs, 2) << ','
                         << BenchReport::format(t.inFlightAtReceiptMs, 2) << ','
                         << BenchReport::format(over, 2) << ',' << (t.overtakenAfterPublish ? 1 : 0)
                         << ',' << (t.overtakenAfterReceipt ? 1 : 0) << ','
                         << BenchReport::format(t.frameMs - s.publishMs, 2) << ','
                         << BenchReport::format(t.inFlightAtPublishMs, 2) << ','
                         << (s.resultMs >= 0 ? BenchReport::format(s.resultMs - s.publishMs, 1)
                                             : std::string())
                         << ','
                         << (t.acked && s.stateMs >= 0 ? BenchReport::format(s.stateMs - t.ackMs, 1)
                                                       : std::string())
                         << ','
                         << (s.echoMs >= 0 ? BenchReport::format(s.echoMs - s.publishMs, 2)
                                           : std::string())
                         << '\n';
        }
    }

    const std::string of = " of " + std::to_string(beyond.size());
    out.info("processes serving the pumps", std::to_string(hosts.size()));
    out.info("broker",
             run.noDelay ? "set_tcp_nodelay true" : "set_tcp_nodelay false (as installed)");
    out.info("start to every pump published", (readyMs - startedMs) / 1000.0, "s", 1);
    out.info("sets measured (lost, without a receipt stamp, refused)",
             std::to_string(beyond.size()) + " (" + std::to_string(lost) + ", " +
                 std::to_string(unstamped) + ", " + std::to_string(refused) + ")");
    const SampleStats hopStats(hop);
    out.info("broker's hop, publish to receipt, median", hopStats.median(), "ms", 2);
    out.info("broker's hop, publish to receipt, 99th percentile", hopStats.percentile(99), "ms", 2);
    out.info("broker's hop, publish to receipt, max", hopStats.max(), "ms", 2);
    // Where the hop goes. The pump's thread reads its socket only between exchanges (it waits
    // for an answer on the line), so a set that comes during one is read at its end; on an idle
    // line the hop is the broker's and the thread's wake-up. The broker's copy to this client
    // left it at about the moment the set left for the service.
    const SampleStats idleLineStats(hopIdleLine);
    out.info("broker's hop, sets published on an idle line, median / 99th percentile",
             BenchReport::format(idleLineStats.median(), 2) + " / " +
                 BenchReport::format(idleLineStats.percentile(99), 2) + " ms (" +
                 std::to_string(hopIdleLine.size()) + " sets)");
    const SampleStats echoStats(echo);
    const SampleStats echoToReceiptStats(echoToReceipt);
    out.info("publish to the broker's copy back at this client, median / 99th percentile",
             BenchReport::format(echoStats.median(), 2) + " / " +
                 BenchReport::format(echoStats.percentile(99), 2) + " ms");
    out.info("that copy to the receipt, median / 99th percentile",
             BenchReport::format(echoToReceiptStats.median(), 2) + " / " +
                 BenchReport::format(echoToReceiptStats.percentile(99), 2) + " ms");
    const SampleStats fromReceiptStats(fromReceipt);
    out.info("receipt to frame at the pump, median", fromReceiptStats.median(), "ms", 1);
    out.info("receipt to frame at the pump, 99th percentile", fromReceiptStats.percentile(99), "ms",
             1);
    out.info("sets that met an exchange on the wire at their receipt",
             std::to_string(withExchange) + of);
    out.info("rest of the exchange in flight at the receipt, 99th percentile",
             SampleStats(inFlight).percentile(99), "ms", 1);
    out.info("polls started after the publish, before the set",
             std::to_string(overtakenAfterPublish) + of);
    out.info("polls started after the receipt, before the set",
             std::to_string(overtakenAfterReceipt) + of);
    const SampleStats over(beyond);
    out.info("frame beyond the exchange in flight from the receipt, median", over.median(), "ms",
             1);
    out.atMost("frame beyond the exchange in flight from the receipt, 99th percentile",
               over.percentile(99), "ms", 1, 30.0);
    out.info("frame beyond the exchange in flight from the receipt, max", over.max(), "ms", 1);
    const SampleStats afterIdle(beyondAfterIdle);
    const SampleStats afterTraffic(beyondAfterTraffic);
    out.info("after an idle second (>= 1.2 s quiet): sets", static_cast<double>(afterIdle.count()),
             "", 0);
    out.info("after an idle second: beyond the exchange in flight, median", afterIdle.median(),
             "ms", 1);
    out.atMost("after an idle second: beyond the exchange in flight, 99th percentile",
               afterIdle.percentile(99), "ms", 1, 30.0);
    out.info("after an idle second: beyond the exchange in flight, max", afterIdle.max(), "ms", 1);
    out.info("after traffic (< 1.2 s quiet): sets", static_cast<double>(afterTraffic.count()), "",
             0);
    out.info("after traffic: beyond the exchange in flight, 99th percentile",
             afterTraffic.percentile(99), "ms", 1);
    out.info("first byte on the line beyond the exchange in flight from the receipt, 99th pct",
             SampleStats(firstBeyond).percentile(99), "ms", 1);
    const SampleStats whole(fromPublish);
    out.info("publish to frame at the pump, median", whole.median(), "ms", 1);
    out.info("publish to frame at the pump, 99th percentile", whole.percentile(99), "ms", 1);
    out.info("frame beyond the exchange in flight from the publish, 99th percentile",
             SampleStats(beyondFromPublish).percentile(99), "ms", 1);
    const SampleStats result(toResult);
    out.info("receipt to result at the client, median", result.median(), "ms", 1);
    out.info("receipt to result at the client, 99th percentile", result.percentile(99), "ms", 1);
    const SampleStats state(toState);
    out.info("changes seen in the state", std::to_string(toState.size()) + of);
    out.info("ACK at the pump to state at the client, median", state.median(), "ms", 0);
    out.atMost("ACK at the pump to state at the client, 99th percentile", state.percentile(99),
               "ms", 0, 750.0);

    // CPU as a share of one core, and memory, per pump: the service's divided among its pumps,
    // a bridge's its own pump's.
    const double perHost = service ? 1.0 / count : 1.0;
    std::vector<double> idleShare;
    std::vector<double> setShare;
    std::vector<double> runShare;
    double hostMs = 0;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        idleShare.push_back((hostCpu1[i] - hostCpu0[i]) / (idleTo - idleFrom) * 100.0 * perHost);
        setShare.push_back((hostCpu2[i] - hostCpu1[i]) / (setsTo - idleTo) * 100.0 * perHost);
        runShare.push_back((hostCpu2[i] - hostCpu0[i]) / (setsTo - idleFrom) * 100.0 * perHost);
        hostMs += hostCpu2[i] - hostCpu0[i];
    }
    const SampleStats idleCpu(idleShare);
    const SampleStats setCpu(setShare);
    const SampleStats runCpu(runShare);
    double simMs = 0;
    for (std::size_t i = 0; i < pumps.size(); ++i)
        simMs += simCpu2[i] - simCpu0[i];
    const double runMs = setsTo - idleFrom;
    const auto busy = [](std::pair<double, double> from, std::pair<double, double> to) {
        return (to.first - from.first) / std::max(1.0, to.second - from.second) * 100.0;
    };
    out.info("run measured: polling only + sets",
             BenchReport::format(idleTo - idleFrom, 0) + " + " +
                 BenchReport::format(setsTo - idleTo, 0) + " ms");
    std::vector<double> rssPerPump;
    std::vector<double> hwmPerPump;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        rssPerPump.push_back(rss[i] * perHost);
        hwmPerPump.push_back(hwm[i] * perHost);
    }
    out.info("CPU per pump, polling only (share of one core)", idleCpu.max(), "%", 2);
    out.info("CPU per pump, during the sets", setCpu.max(), "%", 2);
    if (service) {
        out.info("service CPU, whole run (share of one core)", hostMs / runMs * 100.0, "%", 1);
        if (count >= GoalPumps)
            out.atMost("CPU per pump in the service, whole run", runCpu.max(), "%", 2, 1.0);
        else
            out.info("CPU per pump in the service, whole run", runCpu.max(), "%", 2);
        out.info("service resident memory (VmRSS); peak (VmHWM)",
                 BenchReport::format(rss.front(), 1) + "; " + BenchReport::format(hwm.front(), 1) +
                     " MB");
        if (count >= GoalPumps)
            out.atMost("resident memory per pump in the service", rssPerPump.front(), "MB", 2, 5.0);
        else
            out.info("resident memory per pump in the service", rssPerPump.front(), "MB", 2);
        out.info("peak resident memory per pump in the service", hwmPerPump.front(), "MB", 2);
    } else {
        out.info("bridges' CPU, all together, whole run (share of one core)",
                 hostMs / runMs * 100.0, "%", 1);
        out.info("CPU per bridge, whole run, median", runCpu.median(), "%", 2);
        out.atMost("CPU per bridge, whole run, max", runCpu.max(), "%", 2, 2.0);
        out.info("bridge resident memory (VmRSS), median", SampleStats(rssPerPump).median(), "MB",
                 1);
        out.atMost("bridge resident memory (VmRSS), max", SampleStats(rssPerPump).max(), "MB", 1,
                   30.0);
        out.info("bridge resident memory, peak (VmHWM), max", SampleStats(hwmPerPump).max(), "MB",
                 1);
        double total = 0;
        for (double r : rss)
            total += r;
        out.info("bridges' resident memory, all together", total, "MB", 1);
    }
    out.info("serving processes alive at the end",
             std::to_string(survivors) + " of " + std::to_string(hosts.size()));
    out.info("broker CPU, whole run (share of one core)", (brokerCpu2 - brokerCpu0) / runMs * 100.0,
             "%", 2);
    out.info("broker resident memory (VmRSS)", brokerRss, "MB", 1);
    out.info("simulated pumps' CPU, all together", simMs / runMs * 100.0, "%", 1);
    out.info("this client's CPU", (ownCpu2 - ownCpu0) / runMs * 100.0, "%", 2);
    out.info("machine busy, polling only (all processes, share of all cores)",
             busy(machine0, machine1), "%", 1);
    out.info("machine busy, during the sets", busy(machine1, machine2), "%", 1);
    return true;
}

void onSignal(int)
{
    interrupted = true;
}

} // namespace

int main()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const std::vector<int> counts = countsFromEnvironment();
    const std::vector<Hosting> hostings = hostingFromEnvironment();
    const int sets = std::min(BenchEnv::positiveInt("FLEET_SETS", 20), 99);
    const int idleSeconds = BenchEnv::positiveInt("FLEET_IDLE_SECONDS", 10);
    const bool noDelay = BenchEnv::positiveInt("FLEET_BROKER_NAGLE", 0) != 1;

    char pattern[] = "/tmp/bench-fleet-XXXXXX";
    const char *made = ::mkdtemp(pattern);
    if (made == nullptr || counts.empty() || hostings.empty()) {
        BenchReport("8 fleet").failed(made == nullptr ? "no temporary directory"
                                                      : "no fleet size or no hosting to measure");
        return 1;
    }
    const std::string work = made;
    const bool keep = std::getenv("FLEET_KEEP") != nullptr;

    const char *csvPath = std::getenv("FLEET_SAMPLES");
    std::ofstream csv;
    if (csvPath != nullptr && *csvPath != '\0') {
        csv.open(csvPath);
        csv << "hosting,pumps,pump,set,publish_ms,quiet_ms,hop_ms,receipt_to_frame_ms,"
               "in_flight_at_receipt_ms,beyond_ms,overtaken_after_publish,"
               "overtaken_after_receipt,publish_to_frame_ms,in_flight_at_publish_ms,result_ms,"
               "ack_to_state_ms,echo_ms\n";
    }

    bool ok = true;
    for (int count : counts) {
        for (Hosting hosting : hostings) {
            if (interrupted)
                break;
            FleetRun run;
            run.count = count;
            run.hosting = hosting;
            run.sets = count == 1 ? std::min(2 * sets, 99) : sets;
            run.idleSeconds = idleSeconds;
            run.noDelay = noDelay;
            run.bin = ownDirectory();
            run.work = work + "/" + (hosting == Hosting::Service ? "service-" : "bridges-") +
                       std::to_string(count);
            run.csv = csv.is_open() ? &csv : nullptr;
            std::cerr << "bench_fleet: " << count << " pumps, "
                      << (hosting == Hosting::Service ? "one service" : "a bridge each")
                      << " ...\n";
            ok = runFleet(run) && ok;
        }
    }
    if (keep)
        std::cerr << "bench_fleet: the logs are in " << work << '\n';
    else
        std::system(("rm -rf '" + work + "'").c_str());
    return ok && !interrupted ? 0 : 1;
}
