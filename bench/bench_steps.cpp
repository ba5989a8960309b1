// A dosing program's step to step: from the pump's report that a step ended (the sample in which
// the runner sees it, and the count it then reads once more) to the first byte of the next step's
// first frame on the line, over a program of many short doses and runs. The pump core polls as
// the window and the bridge do; the simulated pump's clock runs twenty times faster, its line at
// 9600 baud.
//
// The goal is one refresh tick plus one exchange: the runner may wait for nothing but the round
// that tells it, the count it reads after it, and one exchange already on the wire.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "GUI/RefreshTimer.h"
#include "PumpServer.h"
#include "SampleStats.h"
#include "WireTrace.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = BenchEnv::Clock;

constexpr int Baud = 9600;
constexpr int TurnaroundMs = 2;
constexpr int Speed = 20;

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Short pump steps only: a wait's end is the runner's own clock, not the pump's report.
DosingProgram manySteps(int count)
{
    DosingProgram program;
    program.name = QStringLiteral("step to step");
    for (int i = 0; i < count; ++i) {
        ProgramStep s;
        if (i % 2 == 0) {
            s.kind = ProgramStep::Kind::Dose;
            s.volumeMl = 0.1;
            s.rateMlMin = 60;
        } else {
            s.kind = ProgramStep::Kind::Run;
            s.rateMlMin = 10;
            s.forS = 1;
        }
        program.steps.push_back(s);
    }
    return program;
}

// A frame from the program that is no query: "<STX>01?.." is a poll.
bool programFrame(const WireTrace::Frame &f)
{
    return f.kind == fluxosim::LogEntry::Kind::Received && f.bytes.size() > 3 && f.bytes[3] != '?';
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    BenchReport out("9 Program step to step");
    const int steps = BenchEnv::positiveInt("PROGRAM_STEPS", 60);

    WireTrace trace;
    fluxosim::ServerOptions options;
    options.pump.address = 1;
    options.baud = Baud;
    options.turnaroundMs = TurnaroundMs;
    options.speed = Speed;
    fluxosim::PumpServer pump(options);
    pump.setListener([&trace](const fluxosim::LogEntry &entry) { trace.record(entry); });
    std::string error;
    if (!pump.start(&error)) {
        out.failed(error);
        return 1;
    }
    PumpCore core;
    core.link().setAddress(1);
    core.link().setCommPortName(QString::fromStdString(pump.devicePath()));
    if (!runUntil([&core] { return core.linkState().connected(); }, 5000)) {
        out.failed("the pump never answered");
        return 1;
    }

    std::vector<Clock::time_point> ends; // each step's end as the runner saw it
    // The round in which the pump reported the end began at the tick before: every answer of
    // it, the status that told the end among them, came after.
    std::vector<Clock::time_point> rounds;
    Clock::time_point lastTick;
    QObject::connect(&core.refresher(), &GUI::RefreshTimer::ticked,
                     [&lastTick] { lastTick = Clock::now(); });
    ProgramRunner runner(core);
    QObject::connect(&runner, &ProgramRunner::stepFinished, [&](const ProgramStatus &) {
        ends.push_back(Clock::now());
        rounds.push_back(lastTick);
    });
    bool over = false;
    QObject::connect(&runner, &ProgramRunner::ended,
                     [&over](const ProgramStatus &) { over = true; });
    QString why;
    if (!runner.start(manySteps(steps), &why)) {
        out.failed(why.toStdString());
        return 1;
    }
    // Each step takes a few ticks; a program that stalls fails the run.
    if (!runUntil([&over] { return over; }, steps * 4 * GUI::RefreshTimer::IntervalMs)) {
        out.failed("the program did not end in time");
        return 1;
    }
    if (runner.status().state != ProgramStatus::State::Done) {
        out.failed("the program ended " +
                   ProgramStatus::stateName(runner.status().state).toStdString() + ": " +
                   runner.status().reason.toStdString());
        return 1;
    }

    // The trace logs a received frame once its last byte has crossed the line: its first byte
    // crossed the frame's length earlier.
    const std::vector<WireTrace::Frame> frames = trace.frames();
    std::vector<double> firstByte;
    std::vector<double> lastByte;
    std::vector<double> fromRound;
    for (std::size_t i = 0; i + 1 < ends.size(); ++i) {
        for (const WireTrace::Frame &f : frames) {
            if (f.at <= ends[i] || !programFrame(f))
                continue;
            lastByte.push_back(BenchEnv::msBetween(ends[i], f.at));
            firstByte.push_back(lastByte.back() - f.bytes.size() * WireTrace::byteMs(Baud));
            fromRound.push_back(BenchEnv::msBetween(rounds[i], ends[i]) + firstByte.back());
            break;
        }
    }
    if (firstByte.empty()) {
        out.failed("no step was followed by a frame");
        return 1;
    }
    const SampleStats first(firstByte);
    const SampleStats last(lastByte);
    const SampleStats round(fromRound);
    // One exchange: a setting's frame (15 bytes) and the longest answer, with the turnaround.
    const double exchangeMs =
        (15 + Communication::MaxAnswerLength) * WireTrace::byteMs(Baud) + TurnaroundMs;
    const double goal = GUI::RefreshTimer::IntervalMs + exchangeMs;
    out.info("steps measured", double(firstByte.size()), "", 0);
    out.atMost("reported end to the next step's first byte, median", first.median(), "ms", 1, goal);
    out.atMost("reported end to the next step's first byte, 99th percentile", first.percentile(99),
               "ms", 1, goal);
    out.info("reported end to the whole first frame, 99th percentile", last.percentile(99), "ms",
             1);
    out.atMost("start of the reporting round to the next step's first byte, median", round.median(),
               "ms", 1, goal);
    out.atMost("start of the reporting round to the next step's first byte, 99th percentile",
               round.percentile(99), "ms", 1, goal);
    out.info("whole program, per step", double(runner.status().elapsedMs) / steps, "ms", 0);
    core.link().setCommPortName(QString());
    pump.stop();
    return 0;
}
