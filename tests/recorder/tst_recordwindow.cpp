// The recorder and the Chart tab in the window, in the program's object graph: a run at a known
// flow rate on the simulated pump recorded row by row, the link column as the link label shows
// it, and the tab and the "REC" mark as the operator sees them.

#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "platform/InstanceSettings.h"
#include "ui/ChartTab.h"
#include "ui/ProcessChartView.h"
#include "ui/ProcessData.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int SettleMs = 6000;

struct Row
{
    double elapsed = 0;
    QString runState;
    QString flow;
    double volume = -1; // unknown
    QString link;
    QString status;
};

// The rows after the header; the file's form is checked where the program records.
std::vector<Row> readRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    std::vector<Row> rows;
    for (const QByteArray &line : file.readAll().split('\n').mid(1)) {
        const QList<QByteArray> f = line.split(',');
        if (f.size() == 14)
            rows.push_back({f.at(1).toDouble(), QString::fromLatin1(f.at(3)),
                            QString::fromLatin1(f.at(5)),
                            f.at(7).isEmpty() ? -1 : f.at(7).toDouble(),
                            QString::fromLatin1(f.at(2)), QString::fromLatin1(f.at(10))});
    }
    return rows;
}

// Waits until the file holds `count` rows that `wanted` accepts after its first `from` rows:
// a row comes with each refresh tick.
template<class Wanted>
bool awaitRows(const QString &path, std::size_t from, Wanted wanted, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < SettleMs + count * GUI::RefreshTimer::IntervalMs) {
        const std::vector<Row> rows = readRows(path);
        if (std::count_if(rows.begin() + std::ptrdiff_t(std::min(from, rows.size())), rows.end(),
                          wanted) >= count)
            return true;
        QTest::qWait(50);
    }
    return false;
}

bool awaitRows(const QString &path, std::size_t from, const QString &state, int count)
{
    return awaitRows(
        path, from, [&state](const Row &row) { return row.runState == state; }, count);
}

// Slope of y over x by least squares.
double slope(const std::vector<std::pair<double, double>> &xy)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto &[x, y] : xy) {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double n = double(xy.size());
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

} // namespace

class tst_RecordWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runAtKnownRate();
    void refusedSetPointNeverRecorded();
    void silenceWritesNothingFalse();
    void linkColumnIsTheLinkLabel_data();
    void linkColumnIsTheLinkLabel();
    void wordsBeforeASilenceAreNotLive();
    void chartTabAndRecordMark();

private:
    bool startUp();
    ProcessData &data() { return *rig->window.processData(); }
    QString linkText() const { return rig->find<QLabel>("labelConnectionState")->text(); }

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
};

void tst_RecordWindow::init()
{
    mainForm::fadePercent = 100;
}

void tst_RecordWindow::cleanup()
{
    rig.reset();
    pump.reset();
}

bool tst_RecordWindow::startUp()
{
    return startWindowOnSimulator(pump, rig);
}

// The pump doses 30 ml/min from Start to Pause, from Start again to Stop, then primes: the rows
// show the volume growing at the model's rate and the run state following the keys.
void tst_RecordWindow::runAtKnownRate()
{
    QVERIFY(startUp());
    QTRY_COMPARE_WITH_TIMEOUT(linkText(), QStringLiteral("PUMP CONNECTED"), SettleMs);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QSignalSpy ticks(&rig->refresher, &GUI::RefreshTimer::ticked);
    QVERIFY(data().record(path));

    WindowRig::type(rig->find<QLineEdit>("lineEditVolume"), QStringLiteral("30"));
    QTRY_COMPARE_WITH_TIMEOUT(
        rig->window.itemForTests(BusinessLogic::CommandSpezifier::GetFlowRate)->value(), 30000,
        SettleMs);
    QVERIFY(awaitRows(path, 0, QStringLiteral("stopped"), 1));
    // Each key until the rows show it: eight running rows (over five seconds) for the rate, four
    // paused ones for the volume standing still, then one for each state that follows.
    const auto press = [this, &path](void (mainForm::*key)(), const char *state, int rows) {
        const std::size_t before = readRows(path).size();
        (rig->window.*key)();
        return awaitRows(path, before, QString::fromLatin1(state), rows);
    };
    QVERIFY(press(&mainForm::launchCmdStart, "running", 8));
    QVERIFY(press(&mainForm::launchCmdPause, "paused", 4));
    QVERIFY(press(&mainForm::launchCmdStart, "running", 1));
    QVERIFY(press(&mainForm::launchCmdStop, "stopped", 1));
    QVERIFY(press(&mainForm::launchCmdPrime, "priming", 1));
    QVERIFY(press(&mainForm::launchCmdStop, "stopped", 1));
    data().recorder().stop();
    const int ticked = ticks.count();

    const std::vector<Row> rows = readRows(path);
    // One row per round of polls, however the run goes: as many as the refresh ticks (and the
    // one taken when the recording starts).
    QVERIFY2(std::abs(int(rows.size()) - ticked) <= 1,
             qPrintable(QStringLiteral("%1 rows in %2 ticks").arg(rows.size()).arg(ticked)));

    QStringList states;
    for (const Row &row : rows) {
        if (row.runState != QLatin1String("unknown") &&
            (states.isEmpty() || states.last() != row.runState))
            states << row.runState;
    }
    QCOMPARE(states.join(' '), QStringLiteral("stopped running paused running stopped priming "
                                              "stopped"));

    // The first stretch of running rows: the volume grows at 30 ml/min, 0.5 ml/s.
    std::vector<std::pair<double, double>> stretch;
    for (const Row &row : rows) {
        if (row.runState == QLatin1String("running"))
            stretch.push_back({row.elapsed, row.volume});
        else if (!stretch.empty())
            break;
    }
    QVERIFY2(stretch.size() >= 6, "too few running rows");
    // From the start on, the pump reports the set-point typed before it.
    for (const Row &row : rows) {
        if (row.elapsed >= stretch.front().first)
            QCOMPARE(row.flow, QStringLiteral("30.000"));
    }
    const double rate = slope(stretch) * 60.0;
    QVERIFY2(std::abs(rate - 30.0) <= 30.0 * 0.05,
             qPrintable(QStringLiteral("%1 ml/min recorded").arg(rate)));
    // Paused, the volume stands still (from the second paused row: the first one's values were
    // read just before the pump took the key).
    std::vector<double> paused;
    for (const Row &row : rows) {
        if (row.runState == QLatin1String("paused"))
            paused.push_back(row.volume);
    }
    QVERIFY(paused.size() >= 3);
    QVERIFY(paused.front() > 2.0);
    QCOMPARE(paused.back(), paused.at(1));
    // The chart took the same samples, with the starts and stops marked.
    const auto known =
        std::count_if(rows.begin(), rows.end(), [](const Row &row) { return row.volume >= 0; });
    QVERIFY(std::ptrdiff_t(data().history().volume().size()) >= known);
    QVERIFY(data().history().marks().size() >= 5);
}

// 150 ml/min is beyond the pump's limits: the window refuses it as the tool and the network do,
// and neither the pump, nor the file, nor the chart ever see it.
void tst_RecordWindow::refusedSetPointNeverRecorded()
{
    QVERIFY(startUp());
    QTRY_COMPARE_WITH_TIMEOUT(linkText(), QStringLiteral("PUMP CONNECTED"), SettleMs);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("refused.csv"));
    QVERIFY(data().record(path));
    auto *field = rig->find<QLineEdit>("lineEditVolume");
    WindowRig::type(field, QStringLiteral("150"));
    field->clearFocus();
    QVERIFY2(rig->find<QLabel>("labelUserAction")->text().contains(QStringLiteral("above")),
             qPrintable(rig->find<QLabel>("labelUserAction")->text()));
    // Two more rounds of polls: had anything been queued, it would have gone out by then.
    const std::size_t before = readRows(path).size();
    QTRY_VERIFY_WITH_TIMEOUT(readRows(path).size() >= before + 2, SettleMs);
    data().recorder().stop();
    for (const fluxosim::LogEntry &e : pump->log())
        QVERIFY(e.bytes.find("RV00150000") == std::string::npos);
    const std::vector<Row> rows = readRows(path);
    QVERIFY(rows.size() >= 2);
    for (const Row &row : rows)
        QVERIFY2(row.flow.isEmpty() || row.flow.toDouble() < 100.0, qPrintable(row.flow));
    for (const auto &point : data().history().flow())
        QVERIFY(point.value < 100.0);
    QVERIFY(field->text().toDouble() < 100.0);
}

// A running pump goes silent for a few seconds: no cell holds a value it did not report, the volume
// never goes backwards, and the run state never reads "stopped" while it runs; the status flags
// are left empty, not the last ones read.
void tst_RecordWindow::silenceWritesNothingFalse()
{
    QVERIFY(startUp());
    QTRY_COMPARE_WITH_TIMEOUT(linkText(), QStringLiteral("PUMP CONNECTED"), SettleMs);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("silence.csv"));
    QVERIFY(data().record(path));
    // Three rows of the run, four that know nothing while the pump is silent, three of the run
    // heard again.
    rig->window.launchCmdStart();
    const auto heard = [](const Row &row) {
        return row.runState == QLatin1String("running") && row.volume >= 0;
    };
    QVERIFY(awaitRows(path, 0, heard, 3));
    QVERIFY(pump->command("silent on").ok);
    QVERIFY(awaitRows(
        path, readRows(path).size(), [](const Row &row) { return row.volume < 0; }, 4));
    QVERIFY(pump->command("silent off").ok);
    QVERIFY(awaitRows(path, readRows(path).size(), heard, 3));
    data().recorder().stop();
    rig->window.launchCmdStop();

    const std::vector<Row> rows = readRows(path);
    QVERIFY(rows.size() >= 10);
    double lastVolume = -1;
    int unknownRows = 0;
    for (const Row &row : rows) {
        QVERIFY2(row.runState != QLatin1String("stopped") || row.elapsed < 0.5,
                 qPrintable(row.runState));
        if (row.link == QLatin1String("disconnected"))
            QVERIFY2(row.status.isEmpty() && row.runState == QLatin1String("unknown"),
                     qPrintable(row.status + ' ' + row.runState));
        if (row.volume < 0) {
            ++unknownRows;
            continue;
        }
        QVERIFY2(row.volume >= lastVolume, qPrintable(QString::number(row.volume)));
        lastVolume = row.volume;
    }
    // The silence shows as rows that know nothing, and the run is heard again after it.
    QVERIFY(unknownRows >= 3);
    QVERIFY(rows.back().volume > 0 && rows.back().runState == QLatin1String("running"));
}

void tst_RecordWindow::linkColumnIsTheLinkLabel_data()
{
    using O = BusinessLogic::AnswerOutcome;
    QTest::addColumn<int>("outcome"); // the verdict on the last exchange; -1: none yet
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("chattering");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("labelConnected");

    QTest::newRow("answered") << int(O::Answered) << true << false << "connected" << true;
    QTest::newRow("refused") << int(O::Nak) << true << false << "connected" << true;
    QTest::newRow("taken unacknowledged")
        << int(O::Unacknowledged) << true << false << "connected" << true;
    QTest::newRow("silent") << int(O::Silent) << true << false << "disconnected" << false;
    QTest::newRow("garbled") << int(O::InvalidFrame) << true << false << "disconnected" << false;
    QTest::newRow("answered, but the line chatters")
        << int(O::Answered) << true << true << "disconnected" << false;
    QTest::newRow("no port") << int(O::Silent) << false << false << "port unavailable" << false;
    QTest::newRow("nothing sent yet, port open") << -1 << true << false << "" << false;
}

// The recorder's link column, the window's label and the bridge read one link state: the core's.
void tst_RecordWindow::linkColumnIsTheLinkLabel()
{
    QFETCH(int, outcome);
    QFETCH(bool, portOpen);
    QFETCH(bool, chattering);
    QFETCH(QString, link);
    QFETCH(bool, labelConnected);

    rig = std::make_unique<WindowRig>();
    rig->refresher.noCyclicDataUpdate(true);
    rig->stack.clear();
    rig->link.portOpen = portOpen;
    rig->link.lineChattering = chattering;
    if (outcome >= 0) {
        // A poll's verdict, as the stack publishes it.
        emit rig->stack.sendAnswer(
            Answer{BusinessLogic::toInt(BusinessLogic::CommandSpezifier::GetActualVolume), "", 1,
                   static_cast<BusinessLogic::AnswerOutcome>(outcome)});
    }
    rig->window.triggerUpdateValues();
    const ProcessSample sample = rig->core.sampler().take();
    QCOMPARE(ProcessSample::linkText(sample.link), link);
    QCOMPARE(linkText() == QStringLiteral("PUMP CONNECTED"), labelConnected);
    rig->link.portOpen = false; // it was never opened
}

// The error flags read before a silence are no reading of what follows it, though the pump
// answers other polls again: unknown until their group is answered again.
void tst_RecordWindow::wordsBeforeASilenceAreNotLive()
{
    using Id = BusinessLogic::CommandSpezifier;
    using O = BusinessLogic::AnswerOutcome;
    rig = std::make_unique<WindowRig>();
    rig->refresher.noCyclicDataUpdate(true);
    rig->link.portOpen = true;
    Answer noError{BusinessLogic::toInt(Id::GetPumpStatus), "000 6"};
    rig->window.itemForTests(Id::GetPumpStatus)->update(&noError);
    const auto poll = [this](O outcome) {
        emit rig->stack.sendAnswer({BusinessLogic::toInt(Id::GetActualVolume), "", 1, outcome});
        return rig->core.sampler().take().errors;
    };
    QCOMPARE(poll(O::Answered), std::optional<QStringList>(QStringList()));
    QCOMPARE(poll(O::Silent), std::nullopt);
    QCOMPARE(poll(O::Answered), std::nullopt);
    rig->link.portOpen = false; // it was never opened
}

void tst_RecordWindow::chartTabAndRecordMark()
{
    rig = std::make_unique<WindowRig>();
    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    auto *chart = rig->find<ChartTab>("tabChart");
    QVERIFY(tabs && chart);
    // Among the advanced tabs, before the service tab and Help.
    QVERIFY(tabs->indexOf(chart) >= 0);
    QVERIFY(tabs->indexOf(chart) < tabs->indexOf(rig->find<QWidget>("tabHelp")));
    QCOMPARE(tabs->tabText(tabs->indexOf(chart)), QStringLiteral("Chart"));

    // The mark sits on the compact screen, beside the command feedback.
    auto *mark = rig->find<QLabel>("labelRecordMark");
    QVERIFY(mark);
    QVERIFY(rig->find<QWidget>("informationPanel")->isAncestorOf(mark));
    QVERIFY(!mark->isVisibleTo(&rig->window));
    auto *record = rig->find<QPushButton>("buttonRecord");
    auto *stop = rig->find<QPushButton>("buttonStopRecording");
    QVERIFY(record->isEnabled() && !stop->isEnabled());

    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    record->click();
    qputenv("HOME", savedHome);
    QVERIFY2(data().recorder().recording(), qPrintable(data().recorder().reason()));
    QVERIFY(mark->isVisibleTo(&rig->window));
    QCOMPARE(mark->text(), QStringLiteral("REC"));
    QVERIFY(!record->isEnabled() && stop->isEnabled());
    QVERIFY(rig->find<QLabel>("labelRecordFile")->text().contains(data().recorder().path()));
    rig->core.sampler().sample();
    rig->core.sampler().sample();
    QCOMPARE(rig->find<QLabel>("labelRecordRows")->text(), QStringLiteral("Rows: 2"));

    stop->click();
    QVERIFY(!data().recorder().recording());
    QVERIFY(!mark->isVisibleTo(&rig->window));
    QVERIFY(record->isEnabled());

    // A recording that stops by itself stays in sight until the next one.
    QVERIFY(data().record(home.filePath(QStringLiteral("gone.csv"))));
    QVERIFY(QFile::remove(home.filePath(QStringLiteral("gone.csv"))));
    rig->core.sampler().sample();
    QVERIFY(!data().recorder().recording());
    QVERIFY(mark->isVisibleTo(&rig->window));
    QCOMPARE(mark->text(), QStringLiteral("REC STOPPED"));
    QVERIFY(mark->toolTip().contains(QStringLiteral("removed or renamed")));
    QVERIFY(rig->find<QLabel>("labelRecordState")->text().contains(QStringLiteral("gone.csv")));
    QVERIFY(record->isEnabled() && !stop->isEnabled());
}

QTEST_MAIN(tst_RecordWindow)
#include "tst_recordwindow.moc"
