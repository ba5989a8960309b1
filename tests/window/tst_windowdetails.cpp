// The compact screen's details against the simulated pump: what a first start without a stored
// port says and shows, run buttons that stay put whatever the feedback lines hold, a focused
// field that follows the pump, and the rate entry beside the dispense time in volume dosing.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"
#include "ui/MouseEventLineEdit.h"

#include <QLabel>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

using Id = BusinessLogic::CommandSpezifier;

// The compact screen's value fields and labels, empty before the pump said anything.
const char *const valueWidgets[] = {
    "lineEditVolume",    "lineEditCalVolume",   "lineEditTimeHour",     "lineEditTimeMin",
    "lineEditTimeSec",   "lineEditCycles",      "lineEditBreakTimeMin", "lineEditBreakTimeSec",
    "labelVolumeActual", "lineEditDispenseRate"};

QString textOf(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    return static_cast<QLineEdit *>(w)->text();
}

} // namespace

class tst_WindowDetails : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWithoutStoredPort();
    void runButtonsStayPut_data();
    void runButtonsStayPut();
    void focusedFieldFollowsThePump_data();
    void focusedFieldFollowsThePump();
    void rateSetsTheDispenseTime_data();
    void rateSetsTheDispenseTime();
    void typedTimeShowsItsRate_data();
    void typedTimeShowsItsRate();
    void cleanupTestCase();

private:
    // The window on the simulated pump, once; false when the pump cannot be had.
    bool connect();
    // Sets a value as another client of the pump would, and waits for the pump's answer.
    void pumpSets(Id id, int value);
    // The settings of a mnemonic the pump received since its log was cleared ("01DT00003000").
    QStringList received(const char *mnemonic) const;

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
};

bool tst_WindowDetails::connect()
{
    if (rig != nullptr && rig->link.portOpen)
        return true;
    fluxosim::ServerOptions options;
    options.fast = true;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    if (!pump->start())
        return false;
    InstanceSettings().setAddress(1);
    if (rig == nullptr)
        rig = std::make_unique<WindowRig>();
    rig->find<QComboBox>("comboCommAddress")->setCurrentIndex(1);
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
    rig->window.show();
    QApplication::setActiveWindow(&rig->window);
    return QTest::qWaitForWindowActive(&rig->window) && rig->link.portOpen;
}

void tst_WindowDetails::pumpSets(Id id, int value)
{
    bool done = false;
    bool took = false;
    rig->core.submitSetting(BusinessLogic::Lane::Operator, id, value, &rig->window,
                            [&](bool accepted) {
                                done = true;
                                took = accepted;
                            });
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
    QVERIFY(took);
}

QStringList tst_WindowDetails::received(const char *mnemonic) const
{
    QStringList settings;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        const std::string frame = entry.bytes.substr(1, entry.bytes.find('\x03') - 1);
        if (entry.kind == fluxosim::LogEntry::Kind::Received &&
            frame.compare(2, std::strlen(mnemonic), mnemonic) == 0)
            settings << QString::fromStdString(frame);
    }
    return settings;
}

void tst_WindowDetails::cleanupTestCase()
{
    rig.reset(); // lets go of the line before the pump hangs up
    pump.reset();
}

// ---- a first start

void tst_WindowDetails::firstStartWithoutStoredPort()
{
    {
        InstanceSettings fresh;
        fresh.settings().remove(fresh.key(InstanceSettings::portKey()));
    }
    rig = std::make_unique<WindowRig>();
    rig->window.startUp();
    rig->window.startUpdateTimer();
    QVERIFY(!rig->link.portOpen);
    auto *feedback = rig->find<QLabel>("labelUserAction");
    QTRY_VERIFY(!feedback->text().isEmpty());
    // What is missing and where to choose it, in the line the updates would otherwise clear.
    for (const char *says : {"No port", "Communication", "Search Pump"})
        QVERIFY2(feedback->text().contains(QLatin1String(says)), qPrintable(feedback->text()));
    QTest::qWait(3 * mainForm::SlowUpdateMs);
    QVERIFY(feedback->text().contains(QLatin1String("No port")));
    for (const char *name : valueWidgets)
        QVERIFY2(textOf(rig->find<QWidget>(name)).isEmpty(), name);
    // Nothing in the received pane while no port can answer: no bare time stamps.
    QVERIFY(rig->find<QTextEdit>("textEditRxData")->document()->isEmpty());

    // With a port open the hint is gone and the pump's values show.
    QVERIFY(connect());
    QTRY_VERIFY_WITH_TIMEOUT(!rig->find<QLineEdit>("lineEditVolume")->text().isEmpty(), 8000);
    QTRY_VERIFY(!feedback->text().contains(QLatin1String("No port")));
}

// ---- the run buttons

void tst_WindowDetails::runButtonsStayPut_data()
{
    QTest::addColumn<QString>("transmission");
    QTest::addColumn<QString>("userAction");
    QTest::addColumn<QString>("stateLine");
    QTest::addColumn<bool>("programMark");
    QTest::addColumn<QString>("banner"); // empty: hidden

    const QString refusal = QStringLiteral("COMMAND NOT ACCEPTED (RANGE)");
    QTest::newRow("no message") << QString() << QString() << QString() << false << QString();
    QTest::newRow("one line: a refusal") << refusal << QString() << QString() << false << QString();
    QTest::newRow("two lines: a refused start with its cause")
        << refusal + " - pump reports: Overpressure, Maximum temperature exceeded, "
                     "Power supply failure, No encoder signal"
        << QString() << QString() << false << QString();
    QTest::newRow("two lines: dose done with the program mark")
        << "COMMAND ACCEPTED" << QString() << "DOSE DONE: 5.000 ml in 00:00:30" << true
        << QString();
    QTest::newRow("every line at once")
        << refusal + " - pump reports: Overpressure, Maximum temperature exceeded"
        << "5 ml at 10 ml/min takes longer than the longest dispense time"
        << "DOSE DONE: 5.000 ml in 00:00:30" << true << "ERROR: Overpressure";
}

void tst_WindowDetails::runButtonsStayPut()
{
    QFETCH(QString, transmission);
    QFETCH(QString, userAction);
    QFETCH(QString, stateLine);
    QFETCH(bool, programMark);
    QFETCH(QString, banner);
    QVERIFY(connect());
    rig->window.updateTimerForTests().stop(); // the texts stay as the row sets them
    const auto restart = qScopeGuard([this] { rig->window.startUpdateTimer(); });
    QVERIFY(!rig->find<QWidget>("TabsExtendedSettings")->isVisible());
    const auto place = [this] {
        // Layouts ask to be done again as the window grows: let every request be served.
        for (int i = 0; i < 3; ++i) {
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        }
        QRect rects[3];
        int i = 0;
        for (const char *name : {"buttonStop", "buttonStart", "buttonPrime"}) {
            auto *button = rig->find<QWidget>(name);
            rects[i++] = QRect(button->mapTo(&rig->window, QPoint()), button->size());
        }
        return QStringLiteral("%1 %2 %3")
            .arg(QVariant(rects[0]).toString(), QVariant(rects[1]).toString(),
                 QVariant(rects[2]).toString());
    };
    const auto setLines = [this](const QString &t, const QString &u, const QString &s, bool mark,
                                 const QString &b = QString()) {
        rig->find<QLabel>("labelErrorBanner")->setText(b);
        rig->find<QLabel>("labelErrorBanner")->setVisible(!b.isEmpty());
        rig->find<QLabel>("labelTransmissionState")->setText(t);
        rig->find<QLabel>("labelUserAction")->setText(u);
        rig->find<QLabel>("labelPumpState")->setText(s);
        rig->find<QLabel>("labelProgramMark")->setText(QStringLiteral("PROGRAM 3/7"));
        rig->find<QLabel>("labelProgramMark")->setVisible(mark);
    };
    setLines(QString(), QString(), QString(), false);
    const QString before = place();
    const int fieldHeight = rig->find<QWidget>("lineEditVolume")->height();
    setLines(transmission, userAction, stateLine, programMark, banner);
    QCOMPARE(place(), before);
    QCOMPARE(rig->find<QWidget>("lineEditVolume")->height(), fieldHeight);
    setLines(QString(), QString(), QString(), false);
    QCOMPARE(place(), before);
}

// ---- a focused field

void tst_WindowDetails::focusedFieldFollowsThePump_data()
{
    QTest::addColumn<QString>("typed"); // what the operator typed before the pump changed
    QTest::addColumn<QString>("shown"); // what the focused field shows after it

    QTest::newRow("focus without an edit: the pump's value") << QString() << "100.0";
    QTest::newRow("an edit under way: the operator's text") << "7"
                                                            << "7";
}

void tst_WindowDetails::focusedFieldFollowsThePump()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QVERIFY(connect());
    pumpSets(Id::SetRunMode, 0);
    pumpSets(Id::SetFlowRate, 5000);
    auto *field = rig->find<QLineEdit>("lineEditVolume");
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), QString("5.000"), 5000);
    field->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(field->hasFocus());
    if (!typed.isEmpty()) {
        field->clear();
        QTest::keyClicks(field, typed);
    }
    pumpSets(Id::SetFlowRate, 100000); // as a program's step would
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), shown, 3000);
    QTest::qWait(3 * mainForm::FastUpdateMs);
    QCOMPARE(field->text(), shown);
    QVERIFY(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Escape);
}

// ---- the rate entry

void tst_WindowDetails::rateSetsTheDispenseTime_data()
{
    QTest::addColumn<int>("volume"); // thousandths of a ml
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("sent"); // empty: nothing goes out
    QTest::addColumn<QString>("why");  // part of the refusal

    QTest::newRow("5 ml at 10 ml/min: 30 s") << 5000 << "10"
                                             << "01DT00003000" << QString();
    QTest::newRow("1 ml at 7 ml/min: 8.57 s to 9 s") << 1000 << "7"
                                                     << "01DT00000900" << QString();
    QTest::newRow("0.1 ml at 12 ml/min: half a second up to 1 s") << 100 << "12"
                                                                  << "01DT00000100" << QString();
    QTest::newRow("0.1 ml at 100 ml/min: under half a second is full flow")
        << 100 << "100"
        << "01DT00000000" << QString();
    QTest::newRow("999.9 ml at 10 ml/min: the longest time, 01:39:59")
        << 999900 << "10"
        << "01DT01395900" << QString();
    QTest::newRow("12.5 ml at 2.5 ml/min: 5 min") << 12500 << "2.5"
                                                  << "01DT00050000" << QString();
    QTest::newRow("999.9 ml at 1 ml/min: longer than the longest time")
        << 999900 << "1" << QString() << "longer than the longest dispense time";
    QTest::newRow("rate above 100 ml/min") << 5000 << "150" << QString() << "150";
    QTest::newRow("rate below 1.0 ml/min") << 5000 << "0.5" << QString() << "0.5";
    QTest::newRow("no number") << 5000 << "fast" << QString() << "fast";
}

void tst_WindowDetails::rateSetsTheDispenseTime()
{
    QFETCH(int, volume);
    QFETCH(QString, rate);
    QFETCH(QString, sent);
    QFETCH(QString, why);
    QVERIFY(connect());
    pumpSets(Id::SetDispenseModeVolume, 0);
    pumpSets(Id::SetVolume, volume);
    pumpSets(Id::SetDispenseTime, 700); // 7 s, which no row asks for
    auto *field = rig->find<MouseEventLineEdit>("lineEditDispenseRate");
    QTRY_VERIFY_WITH_TIMEOUT(field->isVisible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLineEdit>("lineEditTimeSec")->text(), QString("07"), 5000);
    QTRY_VERIFY(rig->window.itemForTests(Id::GetVolume)->value() == volume);
    QTRY_VERIFY(rig->stack.queuedEntries().empty());
    pump->clearLog();
    rig->find<QLabel>("labelUserAction")->clear();

    field->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(field->hasFocus());
    WindowRig::type(field, rate);
    if (!sent.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(received("DT"), QStringList{sent}, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(rig->stack.queuedEntries().empty(), 3000);
        QTest::qWait(3 * mainForm::FastUpdateMs);
        QCOMPARE(received("DT"), QStringList{sent});
        return;
    }
    // Said at once; the feedback line's own updates may clear it later.
    QVERIFY2(rig->find<QLabel>("labelUserAction")->text().contains(why),
             qPrintable(rig->find<QLabel>("labelUserAction")->text()));
    QTest::qWait(6 * mainForm::FastUpdateMs);
    QCOMPARE(received("DT"), QStringList());
    // The field shows the rate the pump's time means again.
    QTRY_VERIFY(field->text() != rate);
}

void tst_WindowDetails::typedTimeShowsItsRate_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("rate");

    QTest::newRow("5 ml in 30 s: 10 ml/min") << 5000 << "0"
                                             << "30"
                                             << "10.00";
    QTest::newRow("5 ml in 1 min: 5 ml/min") << 5000 << "1"
                                             << "0"
                                             << "5.000";
    QTest::newRow("1 ml in 7 s: 8.571 ml/min") << 1000 << "0"
                                               << "7"
                                               << "8.571";
    QTest::newRow("no time, full flow: no rate") << 5000 << "0"
                                                 << "0"
                                                 << "";
}

void tst_WindowDetails::typedTimeShowsItsRate()
{
    QFETCH(int, volume);
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    QFETCH(QString, rate);
    QVERIFY(connect());
    pumpSets(Id::SetDispenseModeVolume, 0);
    pumpSets(Id::SetVolume, volume);
    pumpSets(Id::SetDispenseTime, 4500); // 45 s
    QTRY_VERIFY(rig->window.itemForTests(Id::GetVolume)->value() == volume);
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLineEdit>("lineEditTimeSec")->text(), QString("45"), 5000);
    auto *min = rig->find<QLineEdit>("lineEditTimeMin");
    auto *sec = rig->find<QLineEdit>("lineEditTimeSec");
    min->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(min->hasFocus());
    min->selectAll();
    QTest::keyClicks(min, minutes);
    sec->setFocus(Qt::TabFocusReason);
    sec->selectAll();
    QTest::keyClicks(sec, seconds);
    QTest::keyClick(sec, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLineEdit>("lineEditDispenseRate")->text(), rate, 3000);
}

QTEST_MAIN(tst_WindowDetails)
#include "tst_windowdetails.moc"
