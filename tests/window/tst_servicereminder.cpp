// The service reminder: a journal with known runs and services against the thresholds, the
// mark beside the feedback line and the state line at, above and below them, and a reminder
// that comes with the run that reaches the threshold; the window's offer to record a service
// after the Maintenance position.

#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "journal/JournalFilter.h"
#include "journal/JournalReader.h"
#include "journal/JournalRun.h"
#include "pumpcore/PumpCore.h"
#include "ui/PumpStateLine.h"
#include "ui/ServiceReminder.h"
#include "ui/ServiceTab.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

const QString pump = QStringLiteral("pump-a");
// A fixed day, so that the order of runs and services does not hang on the clock.
constexpr qint64 dayMs = 1767225600000; // 2026-01-01

// "run ML SECONDS" or "service": one entry each, a minute apart.
void write(Journal &journal, const QStringList &events)
{
    qint64 at = dayMs;
    for (const QString &event : events) {
        const QStringList words = event.split(QLatin1Char(' '));
        JournalEntry entry;
        entry.timeMs = at += 60000;
        entry.pump = pump;
        entry.origin = QLatin1String(JournalEntry::Origin::Cli);
        entry.who = QStringLiteral("tester");
        if (words.first() == QLatin1String("service")) {
            entry.kind = QLatin1String(JournalEntry::Kind::Service);
        } else {
            entry.kind = QLatin1String(JournalEntry::Kind::RunEnd);
            entry.runId = JournalEntry::newRunId();
            entry.fields = {{QLatin1String(JournalRun::Field::VolumeMl), words.at(1).toDouble()},
                            {QLatin1String(JournalRun::Field::Seconds), words.at(2).toDouble()}};
        }
        QVERIFY(journal.append(entry));
    }
    QVERIFY(journal.flush(5000));
}

// The feedback line in a frame of its own, as the window has it.
struct Screen
{
    QWidget frame;
    QVBoxLayout *column = new QVBoxLayout(&frame);
    QLabel *feedback = new QLabel(&frame);
    Screen() { column->addWidget(feedback); }
};

} // namespace

class TestServiceReminder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void thresholds_data();
    void thresholds();
    void dueWhenTheRunEnds();
    void maintenanceOffersAService();

private:
    QTemporaryDir dir;
    int journals = 0;
};

void TestServiceReminder::thresholds_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<double>("volumeMl");
    QTest::addColumn<double>("hours");
    QTest::addColumn<bool>("due");
    QTest::addColumn<QString>("says");

    QTest::newRow("below the volume")
        << QStringList{"run 300 60", "run 199.9 60"} << 500.0 << 0.0 << false << QString();
    QTest::newRow("at the volume")
        << QStringList{"run 300 60", "run 200 60"} << 500.0 << 0.0 << true << "SERVICE DUE: 500 ml";
    QTest::newRow("above the volume")
        << QStringList{"run 800 60"} << 500.0 << 0.0 << true << "SERVICE DUE: 800 ml";
    QTest::newRow("above over its life, below since the service")
        << QStringList{"run 800 60", "service", "run 100 60"} << 500.0 << 0.0 << false << QString();
    QTest::newRow("at the hours") << QStringList{"run 1 3600", "run 1 3600"} << 0.0 << 2.0 << true
                                  << "SERVICE DUE: 2.0 h";
    QTest::newRow("below the hours, no volume threshold")
        << QStringList{"run 5000 7000"} << 0.0 << 2.0 << false << QString();
    QTest::newRow("both reached") << QStringList{"run 600 7200"} << 500.0 << 2.0 << true
                                  << "SERVICE DUE: 600 ml, 2.0 h";
    QTest::newRow("no threshold at all")
        << QStringList{"run 100000 360000"} << 0.0 << 0.0 << false << QString();
}

void TestServiceReminder::thresholds()
{
    QFETCH(QStringList, events);
    QFETCH(double, volumeMl);
    QFETCH(double, hours);
    QFETCH(bool, due);
    QFETCH(QString, says);

    Journal journal(dir.filePath(QStringLiteral("j%1.sqlite").arg(++journals)));
    write(journal, events);
    PumpCore core;
    core.attachJournal(&journal, pump);
    Screen screen;
    PumpStateLine stateLine(screen.feedback, core);
    ServiceReminder reminder(core, screen.feedback, &stateLine);
    reminder.setThresholds({volumeMl, hours});

    QVERIFY(reminder.mark() != nullptr);
    QCOMPARE(!reminder.mark()->isHidden(), due);
    QCOMPARE(reminder.mark()->text(), says);
    QCOMPARE(stateLine.label()->text(), due ? QStringLiteral("SERVICE DUE") : QString());

    // The thresholds stay with the pump: a reminder made afresh reads them back.
    ServiceReminder again(core, screen.feedback, nullptr);
    QCOMPARE(again.thresholds().volumeMl, volumeMl);
    QCOMPARE(again.thresholds().hours, hours);
    QCOMPARE(!again.mark()->isHidden(), due);
}

// The reminder is read again once a run of the pump's is in the journal, and goes once a
// service is.
void TestServiceReminder::dueWhenTheRunEnds()
{
    Journal journal(dir.filePath(QStringLiteral("live.sqlite")));
    write(journal, {"run 400 60"});
    PumpCore core;
    core.attachJournal(&journal, pump);
    Screen screen;
    ServiceReminder reminder(core, screen.feedback, nullptr);
    reminder.setThresholds({500.0, 0.0});
    QVERIFY(reminder.mark()->isHidden());

    QVERIFY(journal.append(pump, QLatin1String(JournalEntry::Kind::RunEnd),
                           QLatin1String(JournalEntry::Origin::Window), QStringLiteral("tester"),
                           {{QLatin1String(JournalRun::Field::VolumeMl), 100.0},
                            {QLatin1String(JournalRun::Field::Seconds), 60.0}},
                           JournalEntry::newRunId()));
    QTRY_VERIFY_WITH_TIMEOUT(!reminder.mark()->isHidden(), 5000);
    QCOMPARE(reminder.totals().sinceServiceVolumeMl, 500.0);

    // Another pump's run changes nothing of this one's.
    QVERIFY(journal.append(QStringLiteral("pump-b"), QLatin1String(JournalEntry::Kind::Service),
                           QLatin1String(JournalEntry::Origin::Cli), QStringLiteral("tester")));
    QVERIFY(journal.flush(5000));
    QTest::qWait(200);
    QVERIFY(!reminder.mark()->isHidden());

    QVERIFY(journal.append(pump, QLatin1String(JournalEntry::Kind::Service),
                           QLatin1String(JournalEntry::Origin::Window), QStringLiteral("tester"),
                           {{QStringLiteral("part"), QStringLiteral("diaphragm")}}));
    QTRY_VERIFY_WITH_TIMEOUT(reminder.mark()->isHidden(), 5000);
    QCOMPARE(reminder.totals().lastServicePart, QStringLiteral("diaphragm"));
}

// The pump took the Maintenance position from the window: the window asks, and the answer goes
// into the journal as the window's service of that part.
void TestServiceReminder::maintenanceOffersAService()
{
    std::unique_ptr<fluxosim::PumpServer> sim;
    std::unique_ptr<WindowRig> rig;
    QVERIFY(startWindowOnSimulator(sim, rig));
    Journal journal(dir.filePath(QStringLiteral("window.sqlite")));
    rig->core.attachJournal(&journal, pump);
    rig->core.setOrigin({QLatin1String(JournalEntry::Origin::Window), JournalEntry::localUser(),
                         QString(), QString()});
    auto *tab = rig->window.findChild<ServiceTab *>(QStringLiteral("tabService"));
    QVERIFY(tab != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(rig->core.linkState().connected(), 10000);
    QVERIFY(tab->serviceOffer() == nullptr);

    rig->find<QPushButton>("buttonMaintenancePos")->click();
    QTRY_VERIFY_WITH_TIMEOUT(tab->serviceOffer() != nullptr, 10000);
    QAbstractButton *diaphragm = nullptr;
    for (QAbstractButton *button : tab->serviceOffer()->buttons())
        if (button->text() == QLatin1String("Diaphragm"))
            diaphragm = button;
    QVERIFY(diaphragm != nullptr);
    diaphragm->click();
    QTRY_VERIFY_WITH_TIMEOUT(tab->serviceOffer() == nullptr, 5000);

    QVERIFY(journal.flush(5000));
    JournalReader reader(journal.path());
    QVERIFY(reader.open());
    JournalFilter filter;
    filter.kind = QLatin1String(JournalEntry::Kind::Service);
    const QVector<JournalEntry> services = reader.entries(filter);
    QCOMPARE(services.size(), 1);
    QCOMPARE(services.first().pump, pump);
    QCOMPARE(services.first().origin, QStringLiteral("window"));
    QCOMPARE(services.first().fields.value("part").toString(), QStringLiteral("diaphragm"));
}

QTEST_MAIN(TestServiceReminder)
#include "tst_servicereminder.moc"
