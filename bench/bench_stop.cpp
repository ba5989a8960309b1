// Stop to the wire: from the operator's click on Stop to the first byte of the Stop frame on the
// line, while a whole refresher tick of queries waits in the queue. Measured at 9600 baud, again
// with the pump trickling its answers at 20 ms a byte, and with 40 remote requests queued too.
//
// The click arrives from another thread at a chosen moment, as the window system delivers one:
// while an exchange holds the event loop the click waits for it, so each sample also records
// that rest of the exchange in flight. The goal is the rest plus 10 ms.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "CoreRig.h"
#include "GUI/RefreshTimer.h"
#include "SampleStats.h"
#include "journal/Journal.h"
#include "program/ProgramRunner.h"
#include "pump/AttachTable.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = BenchEnv::Clock;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Sample
{
    double latencyMs = 0; // click to the first byte of the Stop frame
    double restMs = 0;    // click to the end of the exchange that held the event loop
};

class StopProbe
{
public:
    StopProbe(CoreRig &rig, GUI::RefreshTimer &refresher, QPushButton *stop)
        : rig(rig)
        , refresher(refresher)
        , stop(stop)
    {
        QObject::connect(rig.stack, &BusinessLogic::CommandStack::sendAnswer, stop,
                         [this](const Answer &answer) {
                             const auto now = Clock::now();
                             if (!clicked)
                                 answersSinceClick.push_back(now);
                             if (answer.commandId ==
                                 BusinessLogic::toInt(BusinessLogic::CommandSpezifier::Stop))
                                 stopAnswered = true;
                         });
        QObject::connect(stop, &QPushButton::clicked, stop, [this] {
            clicked = true;
            clickSeen = Clock::now();
        });
    }

    // Remote requests queued ahead of each click, besides the tick of polls.
    int remoteBurst = 0;

    // One tick of polls, a click after offsetMs; false when the Stop frame never showed.
    bool measure(int offsetMs, Sample *sample)
    {
        answersSinceClick.clear();
        clicked = false;
        stopAnswered = false;
        for (int i = 0; i < remoteBurst; ++i)
            rig.core->submit(BusinessLogic::Lane::Remote,
                             BusinessLogic::CommandSpezifier::SetDisplayContrast, 40 + i % 2);
        refresher.execute();
        const auto due = Clock::now() + std::chrono::milliseconds(offsetMs);
        Clock::time_point clickAt; // read only after the join
        std::thread clicker([&] {
            std::this_thread::sleep_until(due);
            clickAt = Clock::now();
            QMetaObject::invokeMethod(stop, "click", Qt::QueuedConnection);
        });
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!stopAnswered && Clock::now() < deadline)
            runFor(5);
        clicker.join();
        rig.stack->clear();
        runFor(50); // the exchange in flight ends, the line goes quiet
        if (!stopAnswered)
            return false;

        const Clock::time_point stopAt = stopFrameStart(clickAt);
        if (stopAt == Clock::time_point())
            return false;
        // What held the loop when the click came: the first exchange that ended after it, or,
        // when none ended before the click was seen, whatever else blocked the loop.
        Clock::time_point freed = clickSeen;
        for (const Clock::time_point &at : answersSinceClick) {
            if (at >= clickAt && at < freed) {
                freed = at;
                break;
            }
        }
        sample->latencyMs = BenchEnv::msBetween(clickAt, stopAt);
        sample->restMs = BenchEnv::msBetween(clickAt, freed);
        return true;
    }

private:
    // First byte of the first Stop frame the pump received after the click: the pump logs a
    // frame once its last byte has crossed the line.
    Clock::time_point stopFrameStart(Clock::time_point after) const
    {
        for (const WireTrace::Frame &frame : rig.trace.frames()) {
            if (frame.kind != fluxosim::LogEntry::Kind::Received || frame.at < after ||
                frame.bytes.find("01KY0") == std::string::npos)
                continue;
            const double lineMs =
                static_cast<double>(frame.bytes.size()) * WireTrace::byteMs(CoreRig::Baud);
            return frame.at - std::chrono::microseconds(static_cast<long long>(lineMs * 1000));
        }
        return {};
    }

    CoreRig &rig;
    GUI::RefreshTimer &refresher;
    QPushButton *stop;
    std::vector<Clock::time_point> answersSinceClick;
    bool clicked = false;
    bool stopAnswered = false;
    Clock::time_point clickSeen;
};

void report(BenchReport &out, const std::string &prefix, const std::vector<Sample> &samples,
            int failures)
{
    std::vector<double> latency;
    std::vector<double> rest;
    std::vector<double> beyond;
    for (const Sample &s : samples) {
        latency.push_back(s.latencyMs);
        rest.push_back(s.restMs);
        beyond.push_back(s.latencyMs - s.restMs);
    }
    const SampleStats l(latency);
    const SampleStats r(rest);
    const SampleStats b(beyond);
    out.info(prefix + "clicks measured", static_cast<double>(samples.size()), "", 0);
    if (failures > 0)
        out.failed(prefix + std::to_string(failures) + " clicks without a Stop frame");
    out.info(prefix + "click to Stop on the wire, median", l.median(), "ms", 1);
    out.info(prefix + "click to Stop on the wire, 99th percentile", l.percentile(99), "ms", 1);
    out.info(prefix + "click to Stop on the wire, max", l.max(), "ms", 1);
    out.info(prefix + "rest of the exchange in flight, 99th percentile", r.percentile(99), "ms", 1);
    out.atMost(prefix + "beyond the exchange in flight, 99th percentile", b.percentile(99), "ms", 1,
               10.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    BenchReport out("6 Stop to the wire");
    const int clicks = BenchEnv::positiveInt("STOP_CLICKS", 100);

    CoreRig rig;
    std::string error;
    if (!rig.start(&error)) {
        out.failed(error);
        return 1;
    }
    GUI::RefreshTimer &refresher = rig.core->refresher();
    GUI::RefreshTimer::resetStatusGroup();
    // Ticks come from the benchmark, each on a quiet link.
    Pump::AttachTable::attachAll(refresher, rig.core->items().all());
    // As the program runs it: every setting and run goes to the journal (STOP_JOURNAL=0: none).
    QTemporaryDir folder;
    Journal journal(folder.filePath(QStringLiteral("journal.sqlite")));
    if (qEnvironmentVariable("STOP_JOURNAL") != QLatin1String("0"))
        rig.core->attachJournal(&journal, QStringLiteral("bench:1"));
    ProgramRunner runner(*rig.core);
    mainForm window(*rig.core, runner);
    for (BusinessLogic::Command *command : rig.core->commandObjects())
        window.addCommand(command);
    auto *stop = window.findChild<QPushButton *>(QStringLiteral("buttonStop"));
    if (stop == nullptr) {
        out.failed("no Stop button");
        return 1;
    }
    StopProbe probe(rig, refresher, stop);
    runFor(200);

    std::mt19937 random(13);
    struct Run
    {
        const char *prefix;
        const char *trickle;
        int spreadMs; // clicks fall in the first few exchanges of the tick
        int remoteBurst;
    };
    for (const Run &run :
         {Run{"9600 baud: ", "trickle 0", 60, 0}, Run{"20 ms/byte trickle: ", "trickle 20", 400, 0},
          Run{"behind 40 remote requests: ", "trickle 0", 60, 40}}) {
        rig.pump->command(run.trickle);
        probe.remoteBurst = run.remoteBurst;
        std::vector<Sample> samples;
        int failures = 0;
        std::uniform_int_distribution<int> offset(0, run.spreadMs);
        for (int i = 0; i < clicks; ++i) {
            Sample s;
            if (probe.measure(offset(random), &s))
                samples.push_back(s);
            else
                ++failures;
        }
        if (samples.empty()) {
            out.failed(std::string(run.prefix) + "no Stop frame reached the pump");
            return 1;
        }
        report(out, run.prefix, samples, failures);
    }
    rig.pump->command("trickle 0");
    return 0;
}
