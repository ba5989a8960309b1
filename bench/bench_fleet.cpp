// A fleet on one broker: a mosquitto broker of its own on 127.0.0.1, N simulated pumps (fluxo-sim,
// paced at 9600 baud, frame log on) and N bridges (dosetta-cli serve), as a site would run them.
// A remote user (an MQTT 5 client in this process) sets each pump's flow rate 20 times, to a
// new value each time, at random moments of the poll cycle, every other set after a quiet spell
// of 1.3 to 2 s (a client library may sleep longer once its connection has been idle for a
// second), and measures:
//   - command to frame: from the publish to the RV frame at the pump (the simulator's frame log,
//     same machine clock), and the rest of the poll exchange the set found on the wire; the sets
//     that follow an idle second (nothing from this user to that pump for 1.2 s) also apart;
//   - change to state: from the pump's ACK of that frame to the state that shows the new value;
//   - CPU (utime + stime) and memory (VmRSS, VmHWM) of every bridge, the broker and the pumps.
//
// Run it with:  BENCH_ONLY=fleet FLEET_PUMPS=10 bench/run.sh
//   FLEET_PUMPS=N         pumps and bridges (default 10)
//   FLEET_SETS=N          flow-rate sets per pump (default 20, at most 99)
//   FLEET_IDLE_SECONDS=N  polling only, before the sets, for the CPU at rest (default 20)
//   FLEET_BROKER_NAGLE=1  the broker as installed: Nagle's algorithm on (by default the
//                         benchmark's broker sends at once, set_tcp_nodelay true)
//   FLEET_SAMPLES=FILE    also write every set's timings to FILE (CSV)
//   FLEET_KEEP=1          keep the frame logs, the bridges' output and the broker's files
// Every process it starts ends with it, also when it is killed.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "ChildProcess.h"
#include "FleetClient.h"
#include "LocalBroker.h"
#include "ProcStat.h"
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
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int Baud = 9600;
constexpr double ByteMs = 10.0 * 1000.0 / Baud; // 8N1
constexpr const char *Prefix = "dosetta";
// A set whose new value has not shown in the state by then counts as lost.
constexpr double SampleTimeoutMs = 5000.0;
// A set after this long without a message from the remote user to its bridge counts as one
// that follows an idle second.
constexpr double IdleBeforeMs = 1200.0;

std::atomic<bool> interrupted{false};

struct Pump
{
    std::string id;
    int address = 1;
    std::string device;
    std::string simLog;
    std::string bridgeLog;
    std::unique_ptr<ChildProcess> sim = std::make_unique<ChildProcess>();
    std::unique_ptr<ChildProcess> bridge = std::make_unique<ChildProcess>();
    bool online = false;
    bool ready = false; // a state with the link up and a flow rate came
    // The set in progress: its sample index, or -1 while the next one is due at dueMs.
    int current = -1;
    double lastSentMs = 0; // this user's last message to the bridge
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
    double resultMs = -1;
    bool resultOk = false;
    double stateMs = -1; // first state that shows the value
    double echoMs = -1;  // the broker's copy of the set, back at this client
    double quietMs = 0;  // since this user's last message to the same bridge
};

// What a sample came to, from the pump's frame log.
struct Timing
{
    bool found = false;
    double frameDoneMs = 0; // publish to the frame's last byte at the pump
    double firstByteMs = 0; // publish to its first byte on the line
    double inFlightMs = 0;  // rest of the exchange on the wire at the publish
    bool overtaken = false; // a poll started after the publish, before the set
    // The same when the broker's copy came back to this user, about when the bridge got it: the
    // wait for the exchange then on the wire (from the publish), and a poll started after that.
    double inFlightAtEchoMs = 0;
    bool overtakenAfterEcho = false;
    bool acked = false;
    double ackMs = 0; // the ACK's last byte left the pump (system clock)
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
    const double firstByte = frame.epochMs - static_cast<double>(frame.wireBytes) * ByteMs;
    t.found = true;
    t.frameDoneMs = frame.epochMs - s.publishMs;
    t.firstByteMs = firstByte - s.publishMs;
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
        if (start <= s.publishMs && s.publishMs < end)
            t.inFlightMs = end - s.publishMs;
        else if (start > s.publishMs)
            t.overtaken = true;
        if (s.echoMs >= 0 && start <= s.echoMs && s.echoMs < end)
            t.inFlightAtEchoMs = end - s.publishMs;
        else if (s.echoMs >= 0 && start > s.echoMs)
            t.overtakenAfterEcho = true;
    }
    t.inFlightAtEchoMs = std::max(t.inFlightAtEchoMs, t.inFlightMs);
    return t;
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
    const int count = BenchEnv::positiveInt("FLEET_PUMPS", 10);
    const int sets = std::min(BenchEnv::positiveInt("FLEET_SETS", 20), 99);
    const int idleSeconds = BenchEnv::positiveInt("FLEET_IDLE_SECONDS", 20);
    BenchReport out("8 fleet of " + std::to_string(count));
    const std::string bin = ownDirectory();

    char pattern[] = "/tmp/bench-fleet-XXXXXX";
    const char *made = ::mkdtemp(pattern);
    if (made == nullptr) {
        out.failed("no temporary directory");
        return 1;
    }
    const std::string work = made;
    const bool keep = std::getenv("FLEET_KEEP") != nullptr;
    const auto cleanUp = [&work, keep] {
        if (keep)
            std::cerr << "bench_fleet: the logs are in " << work << '\n';
        else
            std::system(("rm -rf '" + work + "'").c_str());
    };

    std::string error;
    const bool noDelay = BenchEnv::positiveInt("FLEET_BROKER_NAGLE", 0) != 1;
    LocalBroker broker(work, noDelay);
    if (!broker.start("/usr/sbin/mosquitto", &error)) {
        out.failed(error);
        tail(work + "/mosquitto.log", "mosquitto");
        cleanUp();
        return 1;
    }

    // The pumps, then their bridges once every device is known.
    std::vector<Pump> pumps(static_cast<std::size_t>(count));
    std::map<std::string, std::size_t> byId;
    for (int i = 0; i < count; ++i) {
        Pump &p = pumps[static_cast<std::size_t>(i)];
        char id[16];
        std::snprintf(id, sizeof id, "fleet%02d", i + 1);
        p.id = id;
        p.address = i % 98 + 1;
        p.simLog = work + "/" + p.id + "-sim.log";
        p.bridgeLog = work + "/" + p.id + "-bridge.log";
        byId[p.id] = static_cast<std::size_t>(i);
        if (!p.sim->start({bin + "/fluxo-sim", "--log", "--address", std::to_string(p.address)},
                          work + "/" + p.id + "-sim.out", p.simLog, &error)) {
            out.failed(error);
            cleanUp();
            return 1;
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
            cleanUp();
            return 1;
        }
    }

    FleetClient client(broker.uri(), "bench-fleet-user");
    if (!client.connect(&error) ||
        !client.subscribe(std::string(Prefix) + "/+/availability", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/state", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/result", &error) ||
        !client.subscribe(std::string(Prefix) + "/+/set/flow-rate", &error) ||
        !client.keepAwake("bench-fleet/wake", &error)) {
        out.failed("client: " + error);
        cleanUp();
        return 1;
    }

    const double bridgesStartedMs = FleetClient::nowMs();
    for (Pump &p : pumps) {
        if (!p.bridge->start({bin + "/dosetta-cli", "--port", p.device, "--address",
                              std::to_string(p.address), "serve", "--broker", broker.uri(), "--id",
                              p.id, "--allow-control"},
                             p.bridgeLog, p.bridgeLog, &error)) {
            out.failed(error);
            cleanUp();
            return 1;
        }
    }

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
            // The broker hands the set to the bridge and to this client alike.
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

    // Up: every bridge publishes, and its pump answers.
    const double readyBy = bridgesStartedMs + 30000.0 + 500.0 * count;
    bool allReady = false;
    while (!allReady && !interrupted && FleetClient::nowMs() < readyBy) {
        receive(FleetClient::nowMs() + 100);
        allReady = std::all_of(pumps.begin(), pumps.end(),
                               [](const Pump &p) { return p.online && p.ready; });
        if (std::any_of(pumps.begin(), pumps.end(), [](Pump &p) { return !p.bridge->alive(); }))
            break;
    }
    const double readyMs = FleetClient::nowMs();
    if (!allReady) {
        for (const Pump &p : pumps) {
            if (!p.ready) {
                out.failed(interrupted ? "interrupted" : p.id + " never published its state");
                tail(p.bridgeLog, p.id);
                break;
            }
        }
        cleanUp();
        return 1;
    }

    const auto cpuOf = [&](const std::function<ChildProcess &(Pump &)> &which) {
        std::vector<double> ms;
        for (Pump &p : pumps)
            ms.push_back(ProcStat::cpuMs(which(p).pid()));
        return ms;
    };
    const auto bridgeOf = [](Pump &p) -> ChildProcess & {
        return *p.bridge;
    };
    const auto simOf = [](Pump &p) -> ChildProcess & {
        return *p.sim;
    };

    // Polling only, after the slow rotation has been round once.
    const double settleUntil = readyMs + 13000.0;
    while (!interrupted && FleetClient::nowMs() < settleUntil)
        receive(settleUntil);
    const double idleFrom = FleetClient::nowMs();
    const std::vector<double> bridgeCpu0 = cpuOf(bridgeOf);
    const std::vector<double> simCpu0 = cpuOf(simOf);
    const double brokerCpu0 = ProcStat::cpuMs(broker.child().pid());
    const double ownCpu0 = ownCpuMs();
    const auto machine0 = machineJiffies();
    const double idleUntil = idleFrom + idleSeconds * 1000.0;
    while (!interrupted && FleetClient::nowMs() < idleUntil)
        receive(idleUntil);
    const double idleTo = FleetClient::nowMs();
    const std::vector<double> bridgeCpu1 = cpuOf(bridgeOf);
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
        p.lastSentMs = bridgesStartedMs; // nothing sent to it since the bridge started
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
            if (p.current < 0 && p.nextIndex < sets && now >= p.dueMs) {
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
            if (p.current < 0 && p.nextIndex < sets)
                next = std::min(next, p.dueMs);
            done = done && p.current < 0 && p.nextIndex >= sets;
        }
        receive(next);
    }
    const double setsTo = FleetClient::nowMs();
    const std::vector<double> bridgeCpu2 = cpuOf(bridgeOf);
    const std::vector<double> simCpu2 = cpuOf(simOf);
    const double brokerCpu2 = ProcStat::cpuMs(broker.child().pid());
    const double ownCpu2 = ownCpuMs();
    const auto machine2 = machineJiffies();
    std::vector<double> rss;
    std::vector<double> hwm;
    for (Pump &p : pumps) {
        rss.push_back(ProcStat::statusMb(p.bridge->pid(), "VmRSS"));
        hwm.push_back(ProcStat::statusMb(p.bridge->pid(), "VmHWM"));
    }
    const double brokerRss = ProcStat::statusMb(broker.child().pid(), "VmRSS");
    int survivors = 0;
    for (Pump &p : pumps)
        survivors += p.bridge->alive() ? 1 : 0;

    // All bridges end side by side (each says "offline" first), then the pumps and the broker.
    for (Pump &p : pumps)
        p.bridge->terminate();
    for (Pump &p : pumps)
        p.bridge->stop();
    for (Pump &p : pumps)
        p.sim->stop();
    client.disconnect();
    broker.stop();
    if (interrupted) {
        out.failed("interrupted");
        cleanUp();
        return 1;
    }

    // The frames at the pumps.
    std::vector<double> toFrame;
    std::vector<double> toFirstByte;
    std::vector<double> inFlight;
    std::vector<double> beyond;
    std::vector<double> toResult;
    std::vector<double> toEcho;
    std::vector<double> toState;
    std::vector<double> beyondAfterIdle;
    std::vector<double> beyondAfterTraffic;
    std::vector<double> beyondAtEcho;
    int withExchange = 0;
    int overtaken = 0;
    int overtakenAfterEcho = 0;
    int lost = 0;
    int refused = 0;
    const char *csvPath = std::getenv("FLEET_SAMPLES");
    std::ofstream csv;
    if (csvPath != nullptr && *csvPath != '\0') {
        csv.open(csvPath);
        csv << "pump,set,publish_ms,quiet_ms,echo_ms,frame_ms,first_byte_ms,in_flight_ms,"
               "overtaken,result_ms,ack_to_state_ms,in_flight_at_echo_ms,overtaken_after_echo\n";
    }
    for (Pump &p : pumps) {
        const auto frames = SimFrameLog::read(p.simLog, idleTo);
        for (std::size_t index : p.samples) {
            const Sample &s = samples[index];
            const Timing t = timingOf(s, frames);
            if (!t.found || s.publishMs < 0) {
                ++lost;
                continue;
            }
            toFrame.push_back(t.frameDoneMs);
            toFirstByte.push_back(t.firstByteMs);
            inFlight.push_back(t.inFlightMs);
            beyond.push_back(t.frameDoneMs - t.inFlightMs);
            (s.quietMs >= IdleBeforeMs ? beyondAfterIdle : beyondAfterTraffic)
                .push_back(t.frameDoneMs - t.inFlightMs);
            withExchange += t.inFlightMs > 0 ? 1 : 0;
            overtaken += t.overtaken ? 1 : 0;
            beyondAtEcho.push_back(t.frameDoneMs - t.inFlightAtEchoMs);
            overtakenAfterEcho += t.overtakenAfterEcho ? 1 : 0;
            if (s.resultMs >= 0)
                toResult.push_back(s.resultMs - s.publishMs);
            if (s.echoMs >= 0)
                toEcho.push_back(s.echoMs - s.publishMs);
            if (!s.resultOk)
                ++refused;
            if (t.acked && s.stateMs >= 0)
                toState.push_back(s.stateMs - t.ackMs);
            if (csv.is_open())
                csv << p.id << ',' << s.index << ',' << BenchReport::format(s.publishMs, 1) << ','
                    << BenchReport::format(s.quietMs, 1) << ','
                    << BenchReport::format(s.echoMs - s.publishMs, 1) << ','
                    << BenchReport::format(t.frameDoneMs, 1) << ','
                    << BenchReport::format(t.firstByteMs, 1) << ','
                    << BenchReport::format(t.inFlightMs, 1) << ',' << (t.overtaken ? 1 : 0) << ','
                    << BenchReport::format(s.resultMs - s.publishMs, 1) << ','
                    << (t.acked && s.stateMs >= 0 ? BenchReport::format(s.stateMs - t.ackMs, 1)
                                                  : std::string())
                    << ',' << BenchReport::format(t.inFlightAtEchoMs, 1) << ','
                    << (t.overtakenAfterEcho ? 1 : 0) << '\n';
        }
    }

    const SampleStats frame(toFrame);
    const SampleStats first(toFirstByte);
    const SampleStats flight(inFlight);
    const SampleStats over(beyond);
    const SampleStats result(toResult);
    const SampleStats echo(toEcho);
    const SampleStats state(toState);
    out.info("pumps and bridges", count, "", 0);
    out.info("broker", noDelay ? "set_tcp_nodelay true" : "set_tcp_nodelay false (as installed)");
    out.info("start to every bridge publishing its pump", (readyMs - bridgesStartedMs) / 1000.0,
             "s", 1);
    out.info("sets measured (lost, refused)", std::to_string(toFrame.size()) + " (" +
                                                  std::to_string(lost) + ", " +
                                                  std::to_string(refused) + ")");
    out.info("set through the broker and back to this client, median", echo.median(), "ms", 1);
    out.info("set through the broker and back to this client, 99th percentile", echo.percentile(99),
             "ms", 1);
    out.info("set to frame at the pump, median", frame.median(), "ms", 1);
    out.info("set to frame at the pump, 99th percentile", frame.percentile(99), "ms", 1);
    out.info("set to frame at the pump, max", frame.max(), "ms", 1);
    out.info("set to its first byte on the line, median", first.median(), "ms", 1);
    out.info("set to its first byte on the line, 99th percentile", first.percentile(99), "ms", 1);
    out.info("sets that met an exchange on the wire",
             std::to_string(withExchange) + " of " + std::to_string(toFrame.size()));
    out.info("rest of the exchange in flight, median", flight.median(), "ms", 1);
    out.info("rest of the exchange in flight, 99th percentile", flight.percentile(99), "ms", 1);
    out.info("polls started after the publish, before the set",
             std::to_string(overtaken) + " of " + std::to_string(toFrame.size()));
    out.info("frame at the pump beyond the exchange in flight, median", over.median(), "ms", 1);
    out.atMost("frame at the pump beyond the exchange in flight, 99th percentile",
               over.percentile(99), "ms", 1, 30.0);
    const SampleStats afterIdle(beyondAfterIdle);
    const SampleStats afterTraffic(beyondAfterTraffic);
    out.info("after traffic (< 1.2 s quiet): sets", static_cast<double>(afterTraffic.count()), "",
             0);
    out.info("after traffic: beyond the exchange in flight, median", afterTraffic.median(), "ms",
             1);
    out.info("after traffic: beyond the exchange in flight, 99th percentile",
             afterTraffic.percentile(99), "ms", 1);
    out.info("after an idle second (>= 1.2 s quiet): sets", static_cast<double>(afterIdle.count()),
             "", 0);
    out.info("after an idle second: beyond the exchange in flight, median", afterIdle.median(),
             "ms", 1);
    out.atMost("after an idle second: beyond the exchange in flight, 99th percentile",
               afterIdle.percentile(99), "ms", 1, 30.0);
    out.info("polls started after the set came back through the broker, before the set",
             std::to_string(overtakenAfterEcho) + " of " + std::to_string(toFrame.size()));
    out.info("frame at the pump beyond the exchange on the wire when the set came back through "
             "the broker, 99th percentile",
             SampleStats(beyondAtEcho).percentile(99), "ms", 1);
    std::vector<double> firstBeyond;
    for (std::size_t i = 0; i < toFirstByte.size(); ++i)
        firstBeyond.push_back(toFirstByte[i] - inFlight[i]);
    out.info("first byte on the line beyond the exchange in flight, 99th percentile",
             SampleStats(firstBeyond).percentile(99), "ms", 1);
    out.info("set to result at the client, median", result.median(), "ms", 1);
    out.info("set to result at the client, 99th percentile", result.percentile(99), "ms", 1);
    out.info("changes seen in the state",
             std::to_string(toState.size()) + " of " + std::to_string(toFrame.size()));
    out.info("ACK at the pump to state at the client, median", state.median(), "ms", 0);
    out.atMost("ACK at the pump to state at the client, 99th percentile", state.percentile(99),
               "ms", 0, 750.0);
    out.info("ACK at the pump to state at the client, max", state.max(), "ms", 0);

    std::vector<double> idleShare;
    std::vector<double> setShare;
    std::vector<double> runShare;
    for (std::size_t i = 0; i < pumps.size(); ++i) {
        idleShare.push_back((bridgeCpu1[i] - bridgeCpu0[i]) / (idleTo - idleFrom) * 100.0);
        setShare.push_back((bridgeCpu2[i] - bridgeCpu1[i]) / (setsTo - idleTo) * 100.0);
        runShare.push_back((bridgeCpu2[i] - bridgeCpu0[i]) / (setsTo - idleFrom) * 100.0);
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
    out.info("bridge CPU, polling only, median (share of one core)", idleCpu.median(), "%", 2);
    out.info("bridge CPU, polling only, max", idleCpu.max(), "%", 2);
    out.info("bridge CPU, during the sets, median", setCpu.median(), "%", 2);
    out.info("bridge CPU, during the sets, max", setCpu.max(), "%", 2);
    out.info("bridge CPU, whole run, median", runCpu.median(), "%", 2);
    out.atMost("bridge CPU, whole run, max", runCpu.max(), "%", 2, 2.0);
    out.info("bridge resident memory (VmRSS), median", SampleStats(rss).median(), "MB", 1);
    out.atMost("bridge resident memory (VmRSS), max", SampleStats(rss).max(), "MB", 1, 30.0);
    out.info("bridge resident memory, peak (VmHWM), max", SampleStats(hwm).max(), "MB", 1);
    out.info("bridges alive at the end",
             std::to_string(survivors) + " of " + std::to_string(count));
    out.info("broker CPU, whole run (share of one core)", (brokerCpu2 - brokerCpu0) / runMs * 100.0,
             "%", 2);
    out.info("broker resident memory (VmRSS)", brokerRss, "MB", 1);
    out.info("simulated pumps' CPU, all together", simMs / runMs * 100.0, "%", 1);
    out.info("this client's CPU", (ownCpu2 - ownCpu0) / runMs * 100.0, "%", 2);
    out.info("machine busy, polling only (all processes, share of all cores)",
             busy(machine0, machine1), "%", 1);
    out.info("machine busy, during the sets", busy(machine1, machine2), "%", 1);
    cleanUp();
    return 0;
}
