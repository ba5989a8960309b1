// The journal: what an append costs its caller, how many entries a second the writer thread puts
// into the file, and how long dosetta-cli journal takes over a journal of a million entries (its
// runs, its newest entries, the check of its chain), measured from outside as a user waits for it.
//
// The million entries go through the real writer: ten pumps, runs of five entries (start, three
// settings, end), one run in seven left open. A caller that finds the queue nearly full waits,
// untimed, so that nothing is dropped and every append is measured.
//
//   JOURNAL_ENTRIES=N   entries written (default 1000000)
//   CLI_REPEATS=N       runs of each dosetta-cli command, the median taken (default 5)

#include "BenchEnv.h"
#include "BenchReport.h"
#include "SampleStats.h"
#include "journal/Journal.h"
#include "journal/JournalReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

double childCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct CliTime
{
    double wallMs = -1; // median, start to exit; -1 when the tool failed
    double cpuMs = -1;  // its user and system time, median
};

CliTime cli(const QStringList &arguments, int repeats, QByteArray *output = nullptr)
{
    const QString program = QCoreApplication::applicationDirPath() + "/dosetta-cli";
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < repeats; ++i) {
        QProcess p;
        QElapsedTimer t;
        const double cpuBefore = childCpuMs();
        t.start();
        p.start(program, arguments);
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return {};
        wall.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(childCpuMs() - cpuBefore);
        if (output != nullptr)
            *output = p.readAllStandardOutput();
    }
    return {SampleStats(wall).median(), SampleStats(cpu).median()};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    BenchReport out("11 journal");
    const int total = BenchEnv::positiveInt("JOURNAL_ENTRIES", 1000000);
    const int repeats = BenchEnv::positiveInt("CLI_REPEATS", 5);
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");

    std::vector<double> appendUs;
    appendUs.reserve(static_cast<std::size_t>(total));
    qint64 dropped = 0;
    QElapsedTimer wall;
    {
        Journal journal(path);
        const QString who = JournalEntry::localUser();
        QElapsedTimer one;
        wall.start();
        for (int n = 0, run = 0; n < total; ++run) {
            const QString pump = QStringLiteral("/dev/ttyUSB%1:1").arg(run % 10);
            const QString id = JournalEntry::newRunId();
            const char *kinds[] = {"run-start", "setting", "setting", "setting", "run-end"};
            for (int k = 0; k < 5 && n < total; ++k) {
                if (k == 4 && run % 7 == 3)
                    continue; // left open, as after a crash
                while (journal.queued() > Journal::Capacity - 100)
                    QThread::usleep(200);
                JournalEntry e;
                e.pump = pump;
                e.kind = QLatin1String(kinds[k]);
                e.origin = QStringLiteral("cli");
                e.who = who;
                e.runId = id;
                if (k == 0)
                    e.fields = {{"asked", QJsonObject{{"volume_ml", 5}, {"rate_ml_min", 10}}},
                                {"settings", QJsonObject{{"mode", "volume"}, {"cycles", 0}}}};
                else if (k == 4)
                    e.fields = {{"cause", "done"}, {"volume_ml", 4.998}, {"seconds", 30.2}};
                else
                    e.fields = {{"key", "flow-rate"}, {"value", 10 + k}};
                one.start();
                journal.append(e);
                appendUs.push_back(one.nsecsElapsed() / 1e3);
                ++n;
            }
        }
        if (!journal.flush(600000)) {
            out.failed("the writer did not finish within 10 min");
            return 1;
        }
        dropped = journal.dropped();
    }
    const double writeS = wall.nsecsElapsed() / 1e9;
    const SampleStats appends(appendUs);
    out.info("entries written", static_cast<double>(appends.count()), "", 0);
    out.info("append, median (caller)", appends.median(), "us", 2);
    out.atMost("append, 99th percentile (caller)", appends.percentile(99) / 1000, "ms", 3, 1.0);
    out.info("append, max (caller)", appends.max() / 1000, "ms", 3);
    out.info("entries dropped", static_cast<double>(dropped), "", 0);
    out.atLeast("writer: entries per second into the file", appends.count() / writeS, "/s", 0,
                3000);
    out.info("file size", QFileInfo(path).size() / 1e6, "MB", 1);

    QByteArray shown;
    CliTime t = cli({"journal", "--runs", "--file", path}, repeats, &shown);
    out.atMost("journal --runs (newest 50), wall time", t.wallMs, "ms", 0, 500);
    out.info("journal --runs (newest 50), CPU time", t.cpuMs, "ms", 0);
    out.info("journal --runs: lines printed", shown.count('\n'), "", 0);
    t = cli({"journal", "--runs", "--pump", "/dev/ttyUSB3:1", "--file", path}, repeats);
    out.info("journal --runs --pump P, wall time", t.wallMs, "ms", 0);
    t = cli({"journal", "--runs", "--since", "2000-01-01", "--file", path}, repeats);
    out.info("journal --runs --since DAY, wall time", t.wallMs, "ms", 0);
    t = cli({"journal", "--file", path}, repeats);
    out.info("journal (newest 50 entries), wall time", t.wallMs, "ms", 0);
    t = cli({"journal", "--runs", "--limit", "0", "--file", path}, 1, &shown);
    out.info("journal --runs --limit 0 (every run), wall time", t.wallMs / 1000, "s", 1);
    out.info("journal --runs --limit 0: lines printed", shown.count('\n'), "", 0);
    QByteArray verdict;
    t = cli({"journal", "verify", "--file", path}, 1, &verdict);
    out.atMost("journal verify, wall time", t.wallMs / 1000, "s", 2, 10);
    out.info("journal verify, CPU time", t.cpuMs / 1000, "s", 2);
    out.info("journal verify says", verdict.trimmed().toStdString());

    JournalReader reader(path);
    QElapsedTimer timer;
    timer.start();
    const int open = reader.openRuns("/dev/ttyUSB3:1", "cli").size();
    out.info("open runs of one pump by its owner (library), time", timer.nsecsElapsed() / 1e6, "ms",
             0);
    out.info("open runs of one pump by its owner (library), found", open, "", 0);
    return 0;
}
