// Calibration by weighing from the window: doses through the window's runner weighed on the
// simulator's balance and confirmed, and typed masses whose result is sent or refused.

#include "PtyPeer.h"
#include "SimProcess.h"
#include "WindowRig.h"
#include "journal/Journal.h"
#include "journal/JournalFilter.h"
#include "journal/JournalReader.h"
#include "platform/InstanceSettings.h"
#include "pump/KeyTable.h"
#include "ui/CalibrationWizard.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const Pump::KeyTable::Key &percentKey()
{
    return Pump::KeyTable::key(QStringLiteral("calibration-percent"));
}

// The simulated pump (and with balance, its balance), the window on it, and a journal of the
// test's own that the window's core writes as the window does.
struct Bench
{
    explicit Bench(const QString &journalPath, const QStringList &simOptions = {})
        : sim(1, simOptions)
        , journal(journalPath)
    {}

    bool start()
    {
        if (!sim.start())
            return false;
        InstanceSettings().setAddress(1);
        rig = std::make_unique<WindowRig>();
        rig->core.attachJournal(&journal);
        rig->core.setOrigin({QLatin1String(JournalEntry::Origin::Window), JournalEntry::localUser(),
                             QString(), QString()});
        rig->link.setCommPortName(sim.devicePath());
        if (!rig->link.portOpen)
            return false;
        rig->window.startUp();
        rig->window.startUpdateTimer();
        return QTest::qWaitFor([this]() { return rig->core.linkState().connected(); }, 15000);
    }

    // The calibration the pump holds, read afresh; 0 when it does not answer.
    double pumpPercent()
    {
        const Pump::KeyTable::Key &key = percentKey();
        const PumpCore::Ticket ticket =
            rig->core.readBack(BusinessLogic::Lane::Operator, key.query, key.parameters.front());
        bool answered = false;
        QObject context;
        QObject::connect(&rig->core, &PumpCore::answered, &context, [&](const Answer &answer) {
            if (answer.ticket == ticket)
                answered = answer.accepted();
        });
        if (ticket == 0 || !QTest::qWaitFor([&]() { return answered; }, 5000))
            return 0;
        return Pump::KeyTable::json(key, rig->core.items()).toDouble();
    }

    QVector<JournalEntry> entries(const char *kind)
    {
        journal.flush(5000);
        JournalReader reader(journal.path());
        JournalFilter filter;
        filter.kind = QLatin1String(kind);
        return reader.open() ? reader.entries(filter) : QVector<JournalEntry>();
    }

    SimProcess sim;
    Journal journal;
    std::unique_ptr<WindowRig> rig;
};

template<class W>
W *part(const CalibrationWizard &wizard, const char *name)
{
    return wizard.findChild<W *>(QLatin1String(name));
}

} // namespace

class TestCalibrationWizard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void weighedOnTheBalance();
    void typedMasses_data();
    void typedMasses();
    void windowStopEndsTheDose();
    void silentBalanceDosesNothing();

private:
    QTemporaryDir dir;
    int journals = 0;
};

// Two doses of 2 ml, each tared and weighed on a balance whose fluid is lighter than the density
// given: the pump seems to deliver 2.8 % too little, and 102.9 % goes to the pump once
// confirmed.
void TestCalibrationWizard::weighedOnTheBalance()
{
    Bench bench(dir.filePath(QStringLiteral("balance.sqlite")),
                {"--balance", "--speed", "10", "--balance-density", "0.97"});
    QVERIFY(bench.start());
    QVERIFY(!bench.sim.balancePath().isEmpty());
    CalibrationWizard wizard(bench.rig->core, bench.rig->runner);
    wizard.show();
    QTRY_COMPARE_WITH_TIMEOUT(wizard.oldPercent(), 100.0, 10000);

    part<QLineEdit>(wizard, "lineEditNominal")->setText(QStringLiteral("2"));
    part<QComboBox>(wizard, "comboBalance")->setEditText(bench.sim.balancePath());
    for (std::size_t dose = 1; dose <= 2; ++dose) {
        QTRY_VERIFY_WITH_TIMEOUT(part<QPushButton>(wizard, "buttonDose")->isEnabled(), 15000);
        part<QPushButton>(wizard, "buttonDose")->click();
        QTRY_COMPARE_WITH_TIMEOUT(wizard.masses().size(), dose, 30000);
    }
    for (double mass : wizard.masses())
        QVERIFY2(std::abs(mass - 1.94) <= 0.0011, qPrintable(QString::number(mass)));

    QPushButton *confirm = part<QPushButton>(wizard, "buttonConfirm");
    QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 5000);
    QSignalSpy journaled(&wizard, &CalibrationWizard::journaled);
    confirm->click();
    QTRY_COMPARE_WITH_TIMEOUT(journaled.count(), 1, 10000);
    // The verdict is what the pump holds, read back after it took the factor.
    QTRY_VERIFY_WITH_TIMEOUT(
        part<QLabel>(wizard, "labelWizardState")->text().contains(QLatin1String("now holds 102.9")),
        5000);
    QCOMPARE(bench.pumpPercent(), 102.9);
    wizard.accept();
    QCOMPARE(journaled.count(), 1); // closing records nothing more

    // Each dose was a run of the window's runner, on record as the window's.
    const QVector<JournalEntry> runs = bench.entries(JournalEntry::Kind::RunEnd);
    QCOMPARE(runs.size(), 2);
    const QVector<JournalEntry> calibrations = bench.entries(JournalEntry::Kind::Calibration);
    QCOMPARE(calibrations.size(), 1);
    const JournalEntry &entry = calibrations.first();
    QCOMPARE(entry.origin, QStringLiteral("window"));
    QCOMPARE(entry.who, JournalEntry::localUser());
    QCOMPARE(entry.fields.value("masses_g").toArray().size(), 2);
    QCOMPARE(entry.fields.value("density").toDouble(), 0.998);
    QCOMPARE(entry.fields.value("new_percent").toDouble(), 102.9);
    QCOMPARE(entry.fields.value("sent").toBool(), true);
}

void TestCalibrationWizard::typedMasses_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("nominal");
    QTest::addColumn<QStringList>("masses");
    QTest::addColumn<QString>("density");
    QTest::addColumn<bool>("sendable");
    QTest::addColumn<double>("pumpAfter");
    QTest::addColumn<double>("newPercent");

    QTest::newRow("water, a little short: sent")
        << "C"
        << "10" << QStringList{"9.71", "9.73"} << "0.998" << true << 102.7 << 102.7;
    QTest::newRow("ethanol typed with commas under German")
        << "de_DE"
        << "10" << QStringList{"7,7"} << "0,789" << true << 102.5 << 102.5;
    QTest::newRow("far too little: refused, nothing sent")
        << "C"
        << "10" << QStringList{"7.0"} << "0.998" << false << 100.0 << 142.6;
    QTest::newRow("far too much for glycerol's density given as water's: refused")
        << "C"
        << "10" << QStringList{"12.61", "12.62"} << "0.998" << false << 100.0 << 79.1;
}

void TestCalibrationWizard::typedMasses()
{
    QFETCH(QString, locale);
    QFETCH(QString, nominal);
    QFETCH(QStringList, masses);
    QFETCH(QString, density);
    QFETCH(bool, sendable);
    QFETCH(double, pumpAfter);
    QFETCH(double, newPercent);

    QLocale::setDefault(QLocale(locale));
    Bench bench(dir.filePath(QStringLiteral("typed%1.sqlite").arg(++journals)));
    QVERIFY(bench.start());
    auto wizard = std::make_unique<CalibrationWizard>(bench.rig->core, bench.rig->runner);
    wizard->show();
    QTRY_COMPARE_WITH_TIMEOUT(wizard->oldPercent(), 100.0, 10000);
    part<QLineEdit>(*wizard, "lineEditNominal")->setText(nominal);
    QLineEdit *densityEdit = part<QLineEdit>(*wizard, "lineEditDensity");
    densityEdit->setText(density);
    emit densityEdit->textEdited(density);
    for (const QString &mass : masses) {
        part<QLineEdit>(*wizard, "lineEditMass")->setText(mass);
        part<QPushButton>(*wizard, "buttonAddMass")->click();
    }
    QCOMPARE(wizard->masses().size(), std::size_t(masses.size()));

    QPushButton *confirm = part<QPushButton>(*wizard, "buttonConfirm");
    QCOMPARE(confirm->isEnabled(), sendable);
    QSignalSpy answers(&bench.rig->core, &PumpCore::answered);
    QSignalSpy journaled(wizard.get(), &CalibrationWizard::journaled);
    confirm->click(); // what an operator can do: nothing, for a refused result
    if (sendable)
        QTRY_COMPARE_WITH_TIMEOUT(journaled.count(), 1, 10000);
    else
        QTest::qWait(500);
    for (const QList<QVariant> &args : answers)
        if (!sendable)
            QVERIFY(args.at(0).value<Answer>().commandId != BusinessLogic::toInt(percentKey().set));
    QCOMPARE(bench.pumpPercent(), pumpAfter);
    wizard.reset(); // a refusal is journaled when the wizard closes

    const QVector<JournalEntry> calibrations = bench.entries(JournalEntry::Kind::Calibration);
    QCOMPARE(calibrations.size(), 1);
    QCOMPARE(calibrations.first().fields.value("sent").toBool(), sendable);
    QCOMPARE(calibrations.first().fields.value("new_percent").toDouble(), newPercent);
    QCOMPARE(calibrations.first().fields.value("masses_g").toArray().size(), masses.size());
}

// The window's own Stop ends the wizard's dose: nothing is weighed, and the next dose may start.
void TestCalibrationWizard::windowStopEndsTheDose()
{
    Bench bench(dir.filePath(QStringLiteral("stop.sqlite")), {"--balance"});
    QVERIFY(bench.start());
    CalibrationWizard wizard(bench.rig->core, bench.rig->runner);
    wizard.show();
    QTRY_COMPARE_WITH_TIMEOUT(wizard.oldPercent(), 100.0, 10000);
    part<QLineEdit>(wizard, "lineEditNominal")->setText(QStringLiteral("50"));
    part<QComboBox>(wizard, "comboBalance")->setEditText(bench.sim.balancePath());
    part<QPushButton>(wizard, "buttonDose")->click();
    QTRY_VERIFY_WITH_TIMEOUT(bench.rig->runner.status().active(), 15000);
    QVERIFY(part<QPushButton>(wizard, "buttonStopDose")->isEnabled());

    bench.rig->find<QPushButton>("buttonStop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(part<QPushButton>(wizard, "buttonDose")->isEnabled(), 15000);
    QVERIFY(!bench.rig->runner.status().active());
    QTest::qWait(1000); // a weighing started by mistake would have its answer by now
    QVERIFY(wizard.masses().empty());
    QVERIFY(!part<QPushButton>(wizard, "buttonStopDose")->isEnabled());
    QVERIFY(part<QLabel>(wizard, "labelWizardState")->text().contains(QLatin1String("ended")));
}

// A balance that never answers: the wizard says so within its bound, and nothing is dosed.
void TestCalibrationWizard::silentBalanceDosesNothing()
{
    Bench bench(dir.filePath(QStringLiteral("silent.sqlite")));
    QVERIFY(bench.start());
    PtyPeer balance;
    QVERIFY(balance.isOpen());
    CalibrationWizard wizard(bench.rig->core, bench.rig->runner);
    wizard.setBalanceTimeout(800);
    wizard.show();
    QTRY_COMPARE_WITH_TIMEOUT(wizard.oldPercent(), 100.0, 10000);
    part<QComboBox>(wizard, "comboBalance")->setEditText(balance.slavePath());
    QLabel *state = part<QLabel>(wizard, "labelWizardState");
    QElapsedTimer clock;
    clock.start();
    part<QPushButton>(wizard, "buttonDose")->click();
    QTRY_VERIFY_WITH_TIMEOUT(state->text().contains(QLatin1String("did not zero")), 10000);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(state->text().contains(QLatin1String("Nothing was dosed")));
    QVERIFY(part<QPushButton>(wizard, "buttonDose")->isEnabled());
    QVERIFY(bench.entries(JournalEntry::Kind::RunStart).isEmpty());
}

QTEST_MAIN(TestCalibrationWizard)
#include "tst_calibrationwizard.moc"
