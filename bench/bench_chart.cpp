// Process data over a whole day: 24 h of samples at the refresh rate (700 ms, 123,429 ticks),
// fed synthetically into the chart's history one by one, each followed by the chart's redraw and
// a synchronous repaint of the view, in the default follow mode; then the same at the full day
// in fit-all mode. The resident memory the day's history adds, the time to write one row of the
// CSV file (formatted, handed to the system) on the build's disk, and the sync that follows every
// 5 s.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "ProcStat.h"
#include "SampleStats.h"
#include "platform/ExclusiveFile.h"
#include "recorder/CsvFormat.h"
#include "recorder/CsvRecorder.h"
#include "recorder/SampleHistory.h"
#include "ui/ProcessChartView.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <unistd.h>

namespace {

constexpr qint64 TickMs = 700;
constexpr int DayTicks = int(24LL * 3600 * 1000 / TickMs) + 1;

// A plausible day: runs of 20 to 40 minutes at a changing flow rate, pauses between them, the
// delivered volume counting up from each start, the other values as the pump reports them.
class SyntheticPump
{
public:
    ProcessSample next()
    {
        ProcessSample s;
        s.timeMs = startMs + tick * TickMs;
        ++tick;
        if (--phaseTicks <= 0) {
            running = !running;
            phaseTicks = int(std::uniform_int_distribution<int>(1700, 3400)(random));
            if (running) {
                flow = std::uniform_int_distribution<int>(5, 100)(random) * 1000;
                volume = 0;
            }
        }
        if (running)
            volume += flow * TickMs / 60000;
        s.link = ProcessSample::Link::Connected;
        s.runState = running ? ProcessSample::RunState::Running : ProcessSample::RunState::Stopped;
        s.mode = ProcessSample::Mode::Flow;
        s.flowRate = flow;
        s.volumeTarget = 12500;
        s.volumeDelivered = volume;
        s.timeElapsedMs = (tick % 5000) * TickMs;
        s.dispenseTimeS = 0;
        s.status = QStringList{QStringLiteral("Display ON")};
        s.errors = QStringList();
        return s;
    }

private:
    qint64 startMs = QDateTime::currentMSecsSinceEpoch() - 24LL * 3600 * 1000;
    qint64 tick = 0;
    int phaseTicks = 100;
    bool running = false;
    qint64 flow = 25000;
    qint64 volume = 0;
    std::mt19937 random{16};
};

double rssMb()
{
    return ProcStat::statusMb(::getpid(), "VmRSS");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    BenchReport report("6 process data");
    const int ticks = BenchEnv::positiveInt("CHART_TICKS", DayTicks);
    const int rows = BenchEnv::positiveInt("CSV_ROWS", 5000);

    SampleHistory history;
    ProcessChartView view(&history);
    // About the size the chart gets in the advanced screen, a little larger.
    view.resize(900, 480);
    view.show();
    QApplication::processEvents();
    view.repaint();
    const double rssBefore = rssMb();

    SyntheticPump pump;
    std::vector<double> followMs;
    followMs.reserve(std::size_t(ticks));
    for (int i = 0; i < ticks; ++i) {
        const ProcessSample sample = pump.next();
        const auto t0 = BenchEnv::Clock::now();
        history.add(sample);
        view.historyChanged();
        view.repaint();
        followMs.push_back(BenchEnv::msBetween(t0, BenchEnv::Clock::now()));
        if (i % 2000 == 0)
            QApplication::processEvents();
    }
    const double rssAfter = rssMb();

    view.fitAll();
    std::vector<double> fitMs;
    for (int i = 0; i < 500; ++i) {
        const ProcessSample sample = pump.next();
        const auto t0 = BenchEnv::Clock::now();
        history.add(sample);
        view.historyChanged();
        view.repaint();
        fitMs.push_back(BenchEnv::msBetween(t0, BenchEnv::Clock::now()));
    }

    const SampleStats follow(followMs);
    const SampleStats fit(fitMs);
    report.info("samples fed (700 ms apart)", double(ticks), "", 0);
    report.info("follow: sample added and repainted, median", follow.median(), "ms", 3);
    report.atMost("follow: sample added and repainted, 99th percentile", follow.percentile(99),
                  "ms", 3, 2.0);
    report.info("follow: sample added and repainted, max", follow.max(), "ms", 3);
    report.info("fit all at 24 h: sample added and repainted, median", fit.median(), "ms", 3);
    report.atMost("fit all at 24 h: sample added and repainted, 99th percentile",
                  fit.percentile(99), "ms", 3, 2.0);
    report.info("points kept (volume + flow)",
                double(history.volume().size() + history.flow().size()), "", 0);
    report.atMost("resident memory added by 24 h of history", rssAfter - rssBefore, "MB", 1, 30.0);

    // Rows on the disk the benchmark runs from, not a memory file system.
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench-csv-XXXXXX")));
    CsvRecorder recorder;
    if (!dir.isValid() || !recorder.start(dir.filePath(QStringLiteral("rows.csv")))) {
        report.failed("cannot create the CSV file: " + recorder.reason().toStdString());
        return 1;
    }
    std::vector<double> rowMs;
    std::vector<double> formatMs;
    SyntheticPump rowPump;
    for (int i = 0; i < rows; ++i) {
        const ProcessSample sample = rowPump.next();
        auto t0 = BenchEnv::Clock::now();
        const QByteArray line = CsvFormat::row(sample, 0);
        formatMs.push_back(BenchEnv::msBetween(t0, BenchEnv::Clock::now()));
        t0 = BenchEnv::Clock::now();
        recorder.write(sample);
        rowMs.push_back(BenchEnv::msBetween(t0, BenchEnv::Clock::now()));
    }
    recorder.stop();
    const SampleStats row(rowMs);
    report.info("rows written", double(rows), "", 0);
    report.info("row formatted, median", SampleStats(formatMs).median(), "ms", 4);
    report.atMost("row written (formatted, handed to the system), median", row.median(), "ms", 4,
                  0.1);
    report.info("row written, 99th percentile", row.percentile(99), "ms", 3);
    report.info("row written, max", row.max(), "ms", 3);

    // What the recorder adds every 5 s: the file pushed to the disk.
    ExclusiveFile file;
    if (!file.create(dir.filePath(QStringLiteral("sync.csv")))) {
        report.failed("cannot create the file to sync");
        return 1;
    }
    std::vector<double> syncMs;
    const QByteArray line = CsvFormat::row(SyntheticPump().next(), 0);
    for (int i = 0; i < 50; ++i) {
        file.append(line);
        const auto t0 = BenchEnv::Clock::now();
        file.sync();
        syncMs.push_back(BenchEnv::msBetween(t0, BenchEnv::Clock::now()));
    }
    const SampleStats sync(syncMs);
    report.info("file synced to the disk (every 5 s), median", sync.median(), "ms", 3);
    report.info("file synced to the disk (every 5 s), max", sync.max(), "ms", 3);
    return 0;
}
