// Wire efficiency: a saturated queue of mixed queries, as a long poll gives, executed by the
// program's core graph against the simulated pump at 9600 baud, compared with the time the line
// alone needs for the same bytes.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "CoreRig.h"
#include "SampleStats.h"
#include "pump/AttachTable.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using BusinessLogic::CommandSpezifier;

struct Run
{
    int answered = 0;
    double measuredMs = 0;
    double cpuMs = 0;
    WireTrace::Tally tally;
    std::vector<BenchEnv::Clock::time_point> answerTimes;
    BenchEnv::Clock::time_point start;
};

Run runQueue(CoreRig &rig, int queries, bool logged)
{
    // The polled queries in the order the window attaches them, over and over; the status query
    // walks through its seven groups.
    const auto &rows = Pump::AttachTable::rows();
    for (int k = 0; k < queries; ++k) {
        const CommandSpezifier id = rows[static_cast<std::size_t>(k) % rows.size()].item;
        const int value = id == CommandSpezifier::GetPumpStatus ? k % 7 : 1;
        rig.stack->push(rig.command(id), value, logged);
    }

    Run run;
    run.answerTimes.reserve(static_cast<std::size_t>(queries));
    QEventLoop loop;
    const auto connection = QObject::connect(rig.stack, &BusinessLogic::CommandStack::sendAnswer,
                                             &loop, [&](const Answer &) {
                                                 run.answerTimes.push_back(BenchEnv::Clock::now());
                                                 if (++run.answered == queries)
                                                     loop.quit();
                                             });
    // Bounded: even a silent pump ends every exchange within 160 ms.
    QTimer::singleShot(queries * 200 + 2000, &loop, &QEventLoop::quit);
    const double cpu0 = BenchEnv::threadCpuMs();
    run.start = BenchEnv::Clock::now();
    loop.exec();
    const auto end = BenchEnv::Clock::now();
    run.cpuMs = BenchEnv::threadCpuMs() - cpu0;
    QObject::disconnect(connection);
    rig.stack->clear(); // whatever a silent pump left queued must not spill into the next run
    run.measuredMs = BenchEnv::msBetween(run.start, end);
    // The simulator logs an answer once its last byte is written; the program may publish it
    // before that entry is made.
    run.tally = rig.trace.tally(run.start, end + std::chrono::milliseconds(5));
    return run;
}

// Where the time of one exchange goes, from the simulator's frame times and the program's
// answer times: the line itself, the simulator's own lateness, the program from the last answer
// byte to the published answer (reading the check character, classifying, logging), and from
// there to the next frame on the line (the executor's next tick).
void breakdown(CoreRig &rig, const Run &run, BenchReport &report, const std::string &prefix)
{
    const double byteMs = WireTrace::byteMs(CoreRig::Baud);
    std::vector<double> sendTimes;
    std::vector<double> wire;
    std::vector<double> lastByte;
    const auto frames = rig.trace.frames();
    std::size_t tx = 0;
    for (const WireTrace::Frame &frame : frames) {
        if (frame.at < run.start)
            continue;
        if (frame.kind == fluxosim::LogEntry::Kind::Received) {
            // Logged once its last byte is in: it started one line time per byte earlier.
            sendTimes.push_back(BenchEnv::msBetween(run.start, frame.at) -
                                byteMs * static_cast<double>(frame.bytes.size()));
            tx = frame.bytes.size();
        } else if (frame.kind == fluxosim::LogEntry::Kind::Sent) {
            wire.push_back(byteMs * static_cast<double>(tx + frame.bytes.size()) +
                           CoreRig::TurnaroundMs);
            lastByte.push_back(BenchEnv::msBetween(run.start, frame.at));
        }
    }
    const std::size_t n = std::min({sendTimes.size(), wire.size(), run.answerTimes.size()});
    if (n < 2)
        return;
    std::vector<double> pumpLate;
    std::vector<double> tail;
    std::vector<double> toNext;
    for (std::size_t i = 0; i < n; ++i) {
        const double answered = BenchEnv::msBetween(run.start, run.answerTimes[i]);
        pumpLate.push_back(lastByte[i] - sendTimes[i] - wire[i]);
        tail.push_back(answered - lastByte[i]);
        if (i + 1 < n)
            toNext.push_back(sendTimes[i + 1] - answered);
    }
    report.info(prefix + "per exchange: line time (mean)", SampleStats(wire).mean(), "ms", 2);
    report.info(prefix + "per exchange: simulator beyond line time (mean)",
                SampleStats(pumpLate).mean(), "ms", 2);
    report.info(prefix + "per exchange: last answer byte to answer published (mean)",
                SampleStats(tail).mean(), "ms", 2);
    report.info(prefix + "per exchange: answer published to next frame out (mean)",
                SampleStats(toNext).mean(), "ms", 2);
}

void report(CoreRig &rig, const Run &run, int queries, BenchReport &out, const std::string &prefix,
            bool withGoal)
{
    const double wireMs = rig.wireMs(run.tally);
    out.info(prefix + "exchanges answered", run.answered, "", 0);
    if (run.answered != queries || run.tally.answers != static_cast<std::size_t>(queries)) {
        out.failed(prefix + std::to_string(run.tally.answers) + " of " + std::to_string(queries) +
                   " answered by the pump");
        return;
    }
    out.info(prefix + "exchanges per second", run.answered * 1000.0 / run.measuredMs, "/s", 1);
    out.info(prefix + "measured time", run.measuredMs, "ms", 0);
    out.info(prefix + "wire-limited time (" + std::to_string(run.tally.txBytes) + "+" +
                 std::to_string(run.tally.rxBytes) + " bytes, 2 ms turnaround)",
             wireMs, "ms", 0);
    if (withGoal)
        out.atLeast(prefix + "wire ratio (wire-limited / measured)", wireMs / run.measuredMs, "", 3,
                    0.95);
    else
        out.info(prefix + "wire ratio (wire-limited / measured)", wireMs / run.measuredMs, "", 3);
    breakdown(rig, run, out, prefix);
    out.info(prefix + "GUI-thread CPU per exchange", run.cpuMs * 1000.0 / run.answered, "us", 0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    BenchReport out("1 wire efficiency");
    const int queries = BenchEnv::positiveInt("WIRE_QUERIES", 300);

    CoreRig rig;
    std::string error;
    if (!rig.start(&error)) {
        out.failed(error);
        return 1;
    }
    // The executor ticks every 10 ms for the life of the program, queue or no queue.
    {
        const double cpu0 = BenchEnv::threadCpuMs();
        const auto from = BenchEnv::Clock::now();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        const double ms = BenchEnv::msBetween(from, BenchEnv::Clock::now());
        out.info("idle executor, nothing queued: GUI-thread CPU (share of one core)",
                 (BenchEnv::threadCpuMs() - cpu0) / ms * 100.0, "%", 2);
    }
    // Polled traffic stays out of the traffic log unless the operator asks for it: the poll's
    // case first, then the same queue with every exchange logged.
    const Run poll = runQueue(rig, queries, false);
    report(rig, poll, queries, out, "", true);
    const Run logged = runQueue(rig, queries, true);
    report(rig, logged, queries, out, "logged: ", false);
    return 0;
}
