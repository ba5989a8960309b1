// Display update: one triggerUpdateValues() of a real window (offscreen) with every widget, its
// items filled and the status words set: at rest, while the pump runs (time and volume change on
// every update), and while the command feedback fades. The repaint that follows each update runs
// in the event loop and is timed separately.

#include "BenchEnv.h"
#include "BenchReport.h"
#include "BusinessLogic/LoggingCommandStack.h"
#include "GUI/OperationItem.h"
#include "GUI/RefreshTimer.h"
#include "SampleStats.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"
#include "ui/mainForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Id = BusinessLogic::CommandSpezifier;

// The window inside the graph the program gives it, with polling off so that only the benchmark
// changes what the window shows.
struct WindowGraph
{
    WindowGraph()
    {
        for (BusinessLogic::Command *command : core.commandObjects())
            window.addCommand(command);
        refresher.noCyclicDataUpdate(true);
        stack.clear();
    }

    void report(Id query, const std::string &text)
    {
        Answer answer{BusinessLogic::toInt(query), text};
        if (GUI::OperationItem *item = window.itemForTests(query))
            item->update(&answer);
    }

    PumpCore core{PumpCore::Options{false}};
    Communication &link = core.link();
    BusinessLogic::LoggingCommandStack &stack = core.stack();
    std::vector<BusinessLogic::Command *> &table = core.table();
    GUI::RefreshTimer &refresher = core.refresher();
    ProgramRunner runner{core};
    mainForm window{core, runner, qobject_cast<QApplication *>(QCoreApplication::instance())};
};

// What a FLUXO 10 at rest reports, in the simulator's answer formats.
const std::vector<std::pair<Id, std::string>> pumpAnswers = {
    {Id::GetRunMode, "0"},
    {Id::GetActualVolume, "00012345"},
    {Id::GetTimeActual, "00001540"},
    {Id::GetVolume, "00012500"},
    {Id::GetFlowRate, "00025000"},
    {Id::GetDispenseTime, "00013000"},
    {Id::GetDispenseVolumeBreakTime, "00030"},
    {Id::GetDispenseVolumeNumber, "00005"},
    {Id::GetAnalogInput, "1"},
    {Id::GetAnalogRange, "0"},
    {Id::GetDigitalIn1, "01"},
    {Id::GetDigitalIn2, "06"},
    {Id::GetDigitalOut, "2"},
    {Id::GetLanguage, "2"},
    {Id::GetCustCalPercent, "09550"},
    {Id::GetAutostart, "1"},
    {Id::GetPumpProfileCharactristic, "1"},
    {Id::GetDisplayContrast, "055"},
    {Id::GetModelVersion, "0011001023"},
    {Id::GetProtocolAnswer, "1"},
    {Id::GetPumpAddress, "01"},
    {Id::GetFactoryMode, "0"},
    {Id::GetMaintenancePos, "0"},
    {Id::GetPumpModel, "0"},
    {Id::GetFactoryPumpStrokeVolume, "00202"},
};

struct Timings
{
    std::vector<double> update;
    std::vector<double> repaint;
};

// Each call is prepared (not timed), timed alone, then followed by the event loop's repaint.
Timings measure(WindowGraph &graph, int calls, const std::function<void(int)> &prepare)
{
    Timings t;
    for (int i = 0; i < calls; ++i) {
        prepare(i);
        const auto a = BenchEnv::Clock::now();
        graph.window.triggerUpdateValues();
        const auto b = BenchEnv::Clock::now();
        QApplication::processEvents();
        const auto c = BenchEnv::Clock::now();
        t.update.push_back(BenchEnv::msBetween(a, b));
        t.repaint.push_back(BenchEnv::msBetween(b, c));
    }
    return t;
}

void report(BenchReport &out, const std::string &state, const Timings &t)
{
    const SampleStats update(t.update);
    const SampleStats repaint(t.repaint);
    out.atMost(state + ": update, median", update.median(), "ms", 3, 0.5);
    out.info(state + ": update, 99th percentile", update.percentile(99), "ms", 3);
    out.info(state + ": repaint after it, median", repaint.median(), "ms", 3);
}

std::string twoDigits(int n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n % 100);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    // Settings and instance locks of this run only; offscreen unless told otherwise.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QDir(home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DOSETTA_PORTS", "");
    QApplication application(argc, argv);
    BenchReport out("3 display update");
    const int calls = BenchEnv::positiveInt("DISPLAY_CALLS", 2000);

    WindowGraph graph;
    graph.window.show();
    QApplication::processEvents();
    for (const auto &answer : pumpAnswers)
        graph.report(answer.first, answer.second);
    const char *groups[] = {"000 0", "000 1", "009 2", "001 3", "008 4", "000 5", "000 6"};
    for (const char *word : groups)
        graph.report(Id::GetPumpStatus, word);

    // At rest: nothing changes; the feedback has faded out.
    measure(graph, 50, [](int) {});
    report(out, "at rest", measure(graph, calls, [](int) {}));

    // Running: the motor bit set, time and volume moving on every update.
    graph.report(Id::GetPumpStatus, "001 1");
    report(out, "running", measure(graph, calls, [&graph](int i) {
               const int hundredths = i * 5;
               const int seconds = hundredths / 100;
               graph.report(Id::GetTimeActual,
                            "0000" + twoDigits(seconds % 60) + twoDigits(hundredths % 100));
               graph.report(Id::GetActualVolume, std::to_string(10000000 + i * 21).substr(1));
           }));
    graph.report(Id::GetPumpStatus, "000 1");

    // Fading: an acknowledged command every 25 updates, so every update changes the opacity.
    report(out, "fading",
           measure(graph, calls, [&graph](int i) { graph.link.rxAck = i % 25 == 0; }));
    graph.link.rxAck = false;
    return 0;
}
