// The Journal tab over a journal written as the front-ends write it: runs and changes of two
// pumps from several origins, the filters, a run still going, entries written while it shows,
// files that are no journal, and a run marked on the process chart.

#include "journal/Journal.h"
#include "recorder/CsvRecorder.h"
#include "recorder/SampleHistory.h"
#include "ui/ChartTab.h"
#include "ui/JournalRowModel.h"
#include "ui/JournalTab.h"
#include "ui/ProcessChartView.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(JournalLoader::View)
Q_DECLARE_METATYPE(JournalTab::Period)

namespace {

using View = JournalLoader::View;
using Period = JournalTab::Period;
using R = JournalRows;

const qint64 Now = QDateTime::currentMSecsSinceEpoch();
constexpr qint64 Minute = 60 * 1000;
constexpr qint64 Day = 24 * 60 * Minute;
const QString PumpA = QStringLiteral("/dev/ttyUSB0:1");
const QString PumpB = QStringLiteral("bridge-lab2");

JournalEntry entry(qint64 ago, const QString &pump, const char *kind, const char *origin,
                   const QString &who, const QJsonObject &fields, const QString &runId = {})
{
    JournalEntry e;
    e.timeMs = Now - ago;
    e.pump = pump;
    e.kind = QLatin1String(kind);
    e.origin = QLatin1String(origin);
    e.who = who;
    e.fields = fields;
    e.runId = runId;
    return e;
}

// Four runs (one still going) and four changes, of two pumps.
QVector<JournalEntry> sample()
{
    const QJsonObject asked{{"program", "Rinse"},
                            {"steps", QJsonArray{QJsonObject{}, QJsonObject{}}}};
    return {
        entry(10 * Minute, PumpA, "run-start", "window", "ana", {{"asked", asked}}, "run-a"),
        entry(9 * Minute, PumpA, "setting", "window", "ana",
              {{"key", "flow_rate"}, {"before", 10}, {"after", 20}, {"verdict", "accepted"}}),
        entry(8 * Minute, PumpA, "run-end", "window", "ana",
              {{"cause", "done"}, {"volume_ml", 5}, {"seconds", 120}}, "run-a"),
        entry(5 * Minute, PumpA, "run-start", "cli", "bob", {{"asked", QJsonObject{{"ml", 2}}}},
              "run-c"),
        entry(4 * Minute, PumpA, "program", "cli", "bob", {{"program", "Rinse"}}),
        entry(2 * Day, PumpB, "run-start", "bridge", "lims", {}, "run-b"),
        entry(2 * Day - Minute, PumpB, "run-end", "bridge", "lims",
              {{"cause", "pump-error"},
               {"flags", QJsonArray{"overpressure"}},
               {"volume_ml", 1.25},
               {"seconds", 30.5}},
              "run-b"),
        entry(3 * Day, PumpB, "refused", "bridge", "lims",
              {{"key", "volume"}, {"value", 999}, {"reason", "above the limit"}}),
        entry(20 * Day, PumpA, "link", "sila", "peer", {{"state", "lost"}}),
        entry(30 * Day, PumpA, "run-start", "sila", "peer", {}, "run-d"),
        entry(30 * Day - Minute, PumpA, "run-end", "sila", "peer", {{"cause", "outside-stop"}},
              "run-d"),
    };
}

bool write(const QString &path, const QVector<JournalEntry> &entries)
{
    Journal journal(path);
    for (const JournalEntry &e : entries)
        journal.append(e);
    return journal.flush(20000);
}

// One column of every row, top to bottom.
QString column(const JournalRowModel *model, int column)
{
    QStringList cells;
    for (int row = 0; row < model->rowCount(); ++row)
        cells << model->index(row, column).data().toString();
    return cells.join(QLatin1Char(' '));
}

int rowOf(const JournalRowModel *model, const QString &key)
{
    return model->find(key);
}

} // namespace

class tst_JournalTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { tab.reset(); }

    void runsListed_data();
    void runsListed();
    void filters_data();
    void filters();
    void newestOfMany();
    void problemLine_data();
    void problemLine();
    void liveEntriesKeepTheSelection();
    void runMarkedOnChart();

private:
    QString stateText() const { return tab->findChild<QLabel *>("labelJournalState")->text(); }
    void choose(const char *box, const QVariant &data);

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<JournalTab> tab;
};

void tst_JournalTab::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    path = dir.filePath(QStringLiteral("journal.sqlite"));
    QVERIFY(write(path, sample()));
}

void tst_JournalTab::init()
{
    tab = std::make_unique<JournalTab>(path);
    tab->resize(1000, 600);
}

void tst_JournalTab::choose(const char *box, const QVariant &data)
{
    auto *combo = tab->findChild<QComboBox *>(box);
    QVERIFY(combo);
    const int at = combo->findData(data);
    QVERIFY2(at >= 0, qPrintable(data.toString()));
    combo->setCurrentIndex(at);
}

void tst_JournalTab::runsListed_data()
{
    QTest::addColumn<QString>("run");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("volume");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<bool>("trouble");

    QTest::newRow("done, a program asked") << "run-a"
                                           << ""
                                           << "Rinse, 2 steps"
                                           << "done"
                                           << "5.000"
                                           << "120.0" << false;
    QTest::newRow("still going") << "run-c"
                                 << "running"
                                 << "ml=2"
                                 << ""
                                 << ""
                                 << "" << false;
    QTest::newRow("pump error with its flag") << "run-b"
                                              << ""
                                              << ""
                                              << "pump-error: overpressure"
                                              << "1.250"
                                              << "30.5" << true;
    QTest::newRow("stopped at the pump, no count") << "run-d"
                                                   << ""
                                                   << ""
                                                   << "outside-stop"
                                                   << "-"
                                                   << "-" << false;
}

void tst_JournalTab::runsListed()
{
    QFETCH(QString, run);
    QFETCH(QString, end);
    tab->show();
    const JournalRowModel *m = tab->runModel();
    QTRY_COMPARE(m->rowCount(), 4);
    QCOMPARE(column(m, R::RunOrigin), QStringLiteral("cli window bridge sila"));
    const int row = rowOf(m, run);
    QVERIFY(row >= 0);
    const auto cell = [&](int col) {
        return m->index(row, col).data().toString();
    };
    if (!end.isEmpty())
        QCOMPARE(cell(R::RunEnd), end);
    QCOMPARE(m->index(row, 0).data(JournalRowModel::RunningRole).toBool(), end == "running");
    QTEST(cell(R::RunAsked), "asked");
    QTEST(cell(R::RunCause), "cause");
    QTEST(cell(R::RunVolume), "volume");
    QTEST(cell(R::RunSeconds), "seconds");
    QTEST(m->index(row, 0).data(JournalRowModel::TroubleRole).toBool(), "trouble");
    QCOMPARE(stateText(), QStringLiteral("4 runs."));
}

void tst_JournalTab::filters_data()
{
    QTest::addColumn<View>("view");
    QTest::addColumn<Period>("period");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("pump");
    QTest::addColumn<QString>("shown"); // run ids, or kinds of the changes
    QTest::addColumn<QString>("state");

    const QString all;
    QTest::newRow("runs, last hour")
        << View::Runs << Period::LastHour << all << all << "run-c run-a"
        << "2 runs.";
    QTest::newRow("runs, 7 days") << View::Runs << Period::LastWeek << all << all
                                  << "run-c run-a run-b"
                                  << "3 runs.";
    QTest::newRow("runs of one pump") << View::Runs << Period::All << all << PumpB << "run-b"
                                      << "1 run.";
    QTest::newRow("changes, all") << View::Changes << Period::All << all << all
                                  << "program setting refused link"
                                  << "4 changes.";
    QTest::newRow("settings only") << View::Changes << Period::All << "setting" << all << "setting"
                                   << "1 change.";
    QTest::newRow("changes of one pump, 7 days")
        << View::Changes << Period::LastWeek << all << PumpB << "refused"
        << "1 change.";
    QTest::newRow("link, last hour") << View::Changes << Period::LastHour << "link" << all << ""
                                     << "No changes to show.";
}

void tst_JournalTab::filters()
{
    QFETCH(View, view);
    QFETCH(Period, period);
    QFETCH(QString, kind);
    QFETCH(QString, pump);
    QFETCH(QString, state);
    // Chosen before the tab shows: its first read is the one looked at.
    tab->showView(view);
    choose("comboJournalPeriod", int(period));
    choose("comboJournalKind", kind);
    tab->show();
    if (!pump.isEmpty()) {
        // The pump box offers the pumps once the journal named them.
        QTRY_VERIFY(tab->findChild<QComboBox *>("comboJournalPump")->isVisible());
        choose("comboJournalPump", pump);
    }
    const JournalRowModel *m = view == View::Runs ? tab->runModel() : tab->changeModel();
    QTRY_COMPARE(stateText(), state);
    QStringList shown;
    for (int row = 0; row < m->rowCount(); ++row)
        shown << (view == View::Runs ? m->row(row).key : m->row(row).cells.at(R::ChangeKind));
    QTEST(shown.join(QLatin1Char(' ')), "shown");
}

void tst_JournalTab::newestOfMany()
{
    // Entries past the tab's limit: the newest are listed, the note counts them all.
    const QString many = dir.filePath(QStringLiteral("many.sqlite"));
    QVector<JournalEntry> entries;
    for (int i = 0; i < JournalTab::RowLimit + 5; ++i)
        entries << entry(i * 1000, PumpA, "setting", "cli", "bob", {{"key", QString::number(i)}});
    QVERIFY(write(many, entries));
    tab = std::make_unique<JournalTab>(many);
    tab->showView(View::Changes);
    tab->show();
    QTRY_COMPARE(stateText(), QStringLiteral("Showing the newest 1,000 of 1,005 changes."));
    QCOMPARE(tab->changeModel()->rowCount(), JournalTab::RowLimit);
    QCOMPARE(tab->changeModel()->row(0).cells.at(R::ChangeKey), QStringLiteral("0"));
    QCOMPARE(tab->changeModel()->row(JournalTab::RowLimit - 1).cells.at(R::ChangeKey),
             QString::number(JournalTab::RowLimit - 1));
}

void tst_JournalTab::problemLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << "none.sqlite"
                             << "No journal at";
    QTest::newRow("a folder") << "folder"
                              << "not a regular file";
    QTest::newRow("text") << "notes.txt"
                          << "The journal cannot be read";
    QTest::newRow("another database") << "other.sqlite"
                                      << "not a DOSETTA journal";
}

void tst_JournalTab::problemLine()
{
    QFETCH(QString, file);
    const QString at = dir.filePath(file);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    QFile text(dir.filePath(QStringLiteral("notes.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'x')) == 4096);
    text.close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        db.setDatabaseName(dir.filePath(QStringLiteral("other.sqlite")));
        QVERIFY(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE IF NOT EXISTS t (x)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    tab = std::make_unique<JournalTab>(at);
    tab->show();
    QFETCH(QString, line);
    QTRY_VERIFY2(stateText().contains(line), qPrintable(stateText()));
    QCOMPARE(tab->runModel()->rowCount(), 0);
    QVERIFY(!QApplication::activeModalWidget());
    // Read again on the next poll: still one line, still no rows.
    tab->refresh();
    QTest::qWait(200);
    QVERIFY(stateText().contains(line));
}

void tst_JournalTab::liveEntriesKeepTheSelection()
{
    const QString livePath = dir.filePath(QStringLiteral("live.sqlite"));
    QVERIFY(write(livePath, sample()));
    Journal live(livePath);
    tab = std::make_unique<JournalTab>(livePath, &live);
    tab->show();
    const JournalRowModel *m = tab->runModel();
    QTRY_COMPARE(m->rowCount(), 4);
    auto *table = tab->findChild<QTableView *>("tableJournalRuns");
    table->selectRow(rowOf(m, "run-a"));

    // The running run ends and another begins: both show well before the next poll.
    live.append(
        entry(0, PumpA, "run-end", "cli", "bob", {{"cause", "done"}, {"volume_ml", 2}}, "run-c"));
    live.append(entry(0, PumpA, "run-start", "window", "ana", {}, "run-e"));
    QTRY_COMPARE_WITH_TIMEOUT(m->rowCount(), 5, JournalTab::PollMs - 1000);
    QTRY_VERIFY(!m->row(rowOf(m, "run-c")).running);
    QCOMPARE(m->row(rowOf(m, "run-c")).cells.at(R::RunVolume), QStringLiteral("2.000"));
    const QModelIndexList picked = table->selectionModel()->selectedRows();
    QCOMPARE(picked.size(), 1);
    QCOMPARE(m->row(picked.first().row()).key, QStringLiteral("run-a"));
}

void tst_JournalTab::runMarkedOnChart()
{
    // The chart saw the last quarter hour of its pump: runs a and c fall within it, b does not.
    SampleHistory history;
    for (qint64 t = Now - 15 * Minute; t <= Now; t += 700) {
        ProcessSample s;
        s.timeMs = t;
        s.runState = ProcessSample::RunState::Running;
        s.volumeDelivered = (t - Now + 15 * Minute) / 100;
        history.add(s);
    }
    CsvRecorder recorder;
    QTabWidget tabs;
    auto *chart = new ChartTab(&recorder, &history, 1);
    tabs.addTab(chart, QStringLiteral("Chart"));
    JournalTab *journal = JournalTab::addTo(&tabs, chart, path);
    QCOMPARE(tabs.indexOf(journal), 0);
    tabs.resize(1000, 600);
    tabs.show();
    tabs.setCurrentWidget(journal);
    const JournalRowModel *m = journal->runModel();
    QTRY_COMPARE(m->rowCount(), 4);
    auto *table = journal->findChild<QTableView *>("tableJournalRuns");
    auto *show = journal->findChild<QPushButton *>("buttonJournalShowOnChart");
    const ProcessChartView *view = chart->chart();

    table->selectRow(rowOf(m, "run-b"));
    QVERIFY(!show->isEnabled());
    QCOMPARE(view->runStartSeries()->count() + view->runEndSeries()->count(), 0);

    table->selectRow(rowOf(m, "run-a"));
    QVERIFY(show->isEnabled());
    show->click();
    QCOMPARE(tabs.currentWidget(), chart);
    QCOMPARE(view->runStartSeries()->at(0).x(), double(Now - 10 * Minute));
    QCOMPARE(view->runEndSeries()->at(0).x(), double(Now - 8 * Minute));
    QVERIFY(view->fromMs() < Now - 10 * Minute && view->toMs() > Now - 8 * Minute);

    // Still going: only its start is marked, and the chart shows up to the newest sample.
    tabs.setCurrentWidget(journal);
    table->selectRow(rowOf(m, "run-c"));
    show->click();
    QCOMPARE(view->runStartSeries()->count(), 2);
    QCOMPARE(view->runEndSeries()->count(), 0);
    QVERIFY(view->toMs() >= history.lastMs());

    table->clearSelection();
    QCOMPARE(view->runStartSeries()->count(), 0);
}

QTEST_MAIN(tst_JournalTab)
#include "tst_journaltab.moc"
