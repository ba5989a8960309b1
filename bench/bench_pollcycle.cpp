// Poll cycle: from a refresher tick to the answer of the last query it queued (ten at most),
// with the window's real attach table, against the time the line alone needs for those
// exchanges.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "CoreRig.h"
#include "GUI/RefreshTimer.h"
#include "PolledItems.h"
#include "SampleStats.h"
#include "pump/AttachTable.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <vector>

namespace {

// Lets the event loop run for a while (the executor keeps ticking, with nothing queued).
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    BenchReport out("2 poll cycle");
    const int cycles = BenchEnv::positiveInt("POLL_CYCLES", 40);

    CoreRig rig;
    std::string error;
    if (!rig.start(&error)) {
        out.failed(error);
        return 1;
    }
    GUI::RefreshTimer refresher(rig.stack, &rig.table);
    GUI::RefreshTimer::resetStatusGroup();
    // Ticks come from here only, so each one starts on an idle link.
    refresher.noCyclicDataUpdate(true);
    PolledItems items;
    Pump::AttachTable::attachAll(refresher, items.all());

    int answered = 0;
    int expected = 0;
    QEventLoop loop;
    QObject::connect(rig.stack, &BusinessLogic::CommandStack::sendAnswer, &loop,
                     [&](const Answer &) {
                         if (++answered == expected)
                             loop.quit();
                     });

    std::vector<double> measured;
    std::vector<double> ratios;
    std::vector<double> queued;
    int incomplete = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        // Start at varying phases of the executor's 10 ms tick, as the 700 ms timer does.
        idle(20 + (cycle * 7) % 10);
        answered = 0;
        const auto start = BenchEnv::Clock::now();
        refresher.execute();
        expected = rig.stack->queuedCount();
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(expected * 200 + 1000);
        if (expected > 0)
            loop.exec();
        const auto end = BenchEnv::Clock::now();
        // The simulator logs an answer once its last byte is written, which may be a moment
        // after the program has already taken it: count answers logged shortly after the end.
        const WireTrace::Tally tally = rig.trace.tally(start, end + std::chrono::milliseconds(5));
        if (answered != expected || tally.answers != static_cast<std::size_t>(expected)) {
            ++incomplete;
            rig.stack->clear(); // the next tick starts on an empty queue again
            continue;
        }
        const double ms = BenchEnv::msBetween(start, end);
        measured.push_back(ms);
        ratios.push_back(ms / rig.wireMs(tally));
        queued.push_back(expected);
    }
    if (measured.empty()) {
        out.failed("no poll cycle was answered completely");
        return 1;
    }
    const SampleStats time(measured);
    const SampleStats ratio(ratios);
    const SampleStats count(queued);
    out.info("ticks measured", static_cast<double>(time.count()), "", 0);
    if (incomplete > 0)
        out.failed(std::to_string(incomplete) + " ticks not answered completely");
    out.info("queries per tick (min-max)",
             BenchReport::format(count.min(), 0) + "-" + BenchReport::format(count.max(), 0));
    out.info("tick to last answer, median", time.median(), "ms", 0);
    out.atMost("tick to last answer, max (700 ms interval)", time.max(), "ms", 0, 350.0);
    out.atMost("measured / wire-limited, median", ratio.median(), "", 3, 1.15);
    out.info("measured / wire-limited, max", ratio.max(), "", 3);
    return 0;
}
