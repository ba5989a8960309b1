// The program's whole object graph in this process, built as its entry point builds it, polling
// the simulated pump with the display at 50 ms, the rate it runs at once the operator has
// touched a link setting: the GUI thread's CPU time as a share of one core. (Started and left
// alone, the program keeps the 500 ms rate it starts with; see bench_program.)

#include "BenchEnv.h"
#include "BenchReport.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "Milestones.h"
#include "PresetSettings.h"
#include "PumpServer.h"
#include "WireTrace.h"
#include "app/WindowStartup.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include <unistd.h>

namespace {

using Clock = BenchEnv::Clock;

// Runs the event loop until the condition holds (checked every 20 ms) or the time is up.
bool runUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= end)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs the event loop for that long and nothing else: no timer of the benchmark's own on the way.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString ownDirectory()
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const QString exe = QString::fromLocal8Bit(path, n > 0 ? static_cast<int>(n) : 0);
    return exe.left(exe.lastIndexOf(QLatin1Char('/')));
}

} // namespace

int main(int argc, char *argv[])
{
    BenchReport out("4b program graph at 50 ms");
    const int seconds = BenchEnv::positiveInt("PROGRAM_SECONDS", 60);

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
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.configHome()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(settings.runtimeDir()));
    qputenv("DOSETTA_PORTS", QByteArray::fromStdString(pump.devicePath()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // The entry point's order: application, link, commands, stack, table, then the window.
    QGuiApplication::setDesktopSettingsAware(false);
    QApplication application(argc, argv);
    QDir::setCurrent(ownDirectory()); // the help collection lies beside the programs
    PumpCore core;
    ProgramRunner runner(core);
    WindowStartup startup(core, runner, application);
    mainForm *window = startup.window();

    const Milestones milestones(trace);
    Clock::time_point firstPoll;
    if (!runUntil([&] { return milestones.firstAnswerTo("?TV", &firstPoll); }, 20000) ||
        !runUntil([&] { return !window->slowPollForTests(); }, 5000)) {
        out.failed("the pump was never polled");
        return 1;
    }
    // The operator ticks and unticks "No cyclic data": the display restarts at the rate the link
    // state asks for.
    auto *noData = window->findChild<QCheckBox *>(QStringLiteral("checkboNoDataUpdate"));
    if (noData == nullptr) {
        out.failed("no \"No cyclic data\" box");
        return 1;
    }
    noData->setChecked(true);
    noData->setChecked(false);
    QTimer &updateTimer = window->updateTimerForTests();
    int updates = 0;
    QObject::connect(&updateTimer, &QTimer::timeout, &application, [&updates] { ++updates; });
    runFor(2000);

    updates = 0;
    const auto from = Clock::now();
    const double cpuFrom = BenchEnv::threadCpuMs();
    runFor(std::max(5, seconds) * 1000);
    const double cpuMs = BenchEnv::threadCpuMs() - cpuFrom;
    const auto to = Clock::now();
    const double ms = BenchEnv::msBetween(from, to);
    const WireTrace::Tally polls = trace.tally(from, to);

    out.info("display interval at the end", updateTimer.interval(), "ms", 0);
    out.info("display updates per second", updates * 1000.0 / ms, "/s", 1);
    out.info("answers per second", polls.answers * 1000.0 / ms, "/s", 1);
    out.atMost("GUI-thread CPU (share of one core)", cpuMs / ms * 100.0, "%", 2, 3.0);
    return 0;
}
