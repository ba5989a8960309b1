// The compact screen against the simulated pump: a first start without a stored port, run
// buttons that stay put, a focused field that follows the pump, and the rate entry.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"

#include <QLabel>
#include <QTextEdit>
#include <QtTest>

#include <memory>
#include <optional>

using Id = BusinessLogic::CommandSpezifier;

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
    void focusIsSeen_data();
    void focusIsSeen();
    void cleanupTestCase()
    {
        rig.reset(); // lets go of the line before the pump hangs up
        pump.reset();
    }

private:
    bool connect();
    // Sets a value as a program's step would, and waits until the pump took it.
    void pumpSets(Id id, int value)
    {
        std::optional<bool> took;
        rig->core.submitSetting(BusinessLogic::Lane::Operator, id, value, &rig->window,
                                [&took](bool accepted) { took = accepted; });
        QTRY_VERIFY_WITH_TIMEOUT(took.has_value(), 5000);
        QVERIFY(*took);
    }
    // The dispense times the pump received since its log was cleared ("01DT00003000").
    QStringList timesReceived() const
    {
        QStringList frames;
        for (const fluxosim::LogEntry &entry : pump->log()) {
            const std::string frame = entry.bytes.substr(1, entry.bytes.find('\x03') - 1);
            if (entry.kind == fluxosim::LogEntry::Kind::Received && frame.compare(2, 2, "DT") == 0)
                frames << QString::fromStdString(frame);
        }
        return frames;
    }
    QString text(const char *name) const
    {
        return rig->find<QWidget>(name)->property("text").toString();
    }

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
    rig->find<QComboBox>("comboCommAddress")->setCurrentIndex(1);
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.show();
    QApplication::setActiveWindow(&rig->window);
    return QTest::qWaitForWindowActive(&rig->window) && rig->link.portOpen;
}

void tst_WindowDetails::firstStartWithoutStoredPort()
{
    {
        InstanceSettings fresh;
        fresh.settings().remove(fresh.key(InstanceSettings::portKey()));
    }
    rig = std::make_unique<WindowRig>();
    rig->window.startUp();
    rig->window.startUpdateTimer();
    QTest::qWait(3 * mainForm::SlowUpdateMs);
    // What is missing and where to choose it, kept on the line the updates clear.
    for (const char *says : {"No port", "Communication", "Search Pump"})
        QVERIFY2(text("labelUserAction").contains(QLatin1String(says)),
                 qPrintable(text("labelUserAction")));
    for (const char *name :
         {"lineEditVolume", "lineEditCalVolume", "lineEditTimeHour", "lineEditTimeMin",
          "lineEditTimeSec", "lineEditCycles", "lineEditBreakTimeMin", "lineEditBreakTimeSec",
          "labelVolumeActual", "lineEditDispenseRate"})
        QVERIFY2(text(name).isEmpty(), name);
    QVERIFY(rig->find<QTextEdit>("textEditRxData")->document()->isEmpty()); // no bare stamps

    QVERIFY(connect());
    QTRY_VERIFY_WITH_TIMEOUT(!text("lineEditVolume").isEmpty(), 8000);
    QTRY_VERIFY(!text("labelUserAction").contains(QLatin1String("No port")));
}

void tst_WindowDetails::runButtonsStayPut_data()
{
    QTest::addColumn<QStringList>("lines"); // label=text; the program mark and banner shown
    const QString cause = "COMMAND NOT ACCEPTED (RANGE) - pump reports: Overpressure, Maximum "
                          "temperature exceeded, Power supply failure, No encoder signal";
    QTest::newRow("no message") << QStringList();
    QTest::newRow("one line") << QStringList{"labelTransmissionState=COMMAND NOT ACCEPTED (RANGE)"};
    QTest::newRow("two lines: a refused start with its cause")
        << QStringList{"labelTransmissionState=" + cause};
    QTest::newRow("two lines: dose done with the program mark") << QStringList{
        "labelPumpState=DOSE DONE: 5.000 ml in 00:00:30", "labelProgramMark=PROGRAM 3/7"};
    QTest::newRow("every line") << QStringList{
        "labelTransmissionState=" + cause, "labelUserAction=5 ml at 0.5 ml/min is refused",
        "labelPumpState=DOSE DONE: 5.000 ml in 00:00:30", "labelErrorBanner=ERROR: Overpressure",
        "labelProgramMark=PROGRAM 3/7"};
}

void tst_WindowDetails::runButtonsStayPut()
{
    QFETCH(QStringList, lines);
    QVERIFY(connect());
    rig->window.updateTimerForTests().stop(); // the texts stay as the row sets them
    const auto restart = qScopeGuard([this] { rig->window.startUpdateTimer(); });
    QVERIFY(!rig->find<QWidget>("TabsExtendedSettings")->isVisible());
    const auto place = [this] {
        for (int i = 0; i < 3; ++i) { // a growing window asks for its layout again
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        }
        QStringList rects;
        for (const char *name : {"buttonStop", "buttonStart", "buttonPrime", "lineEditVolume"}) {
            auto *w = rig->find<QWidget>(name);
            rects << QVariant(QRect(w->mapTo(&rig->window, QPoint()), w->size())).toString();
        }
        return rects;
    };
    const auto show = [this](const QStringList &shown) {
        for (const char *name : {"labelTransmissionState", "labelUserAction", "labelPumpState",
                                 "labelErrorBanner", "labelProgramMark"}) {
            const QStringList line = shown.filter(QLatin1String(name) + '=');
            rig->find<QLabel>(name)->setText(line.isEmpty() ? QString() : line[0].section('=', 1));
            if (qstrcmp(name, "labelErrorBanner") == 0 || qstrcmp(name, "labelProgramMark") == 0)
                rig->find<QLabel>(name)->setVisible(!line.isEmpty());
        }
    };
    show({});
    const QStringList before = place();
    show(lines);
    QCOMPARE(place(), before);
    show({});
    QCOMPARE(place(), before);
}

void tst_WindowDetails::focusedFieldFollowsThePump_data()
{
    QTest::addColumn<QString>("typed"); // before the pump changed
    QTest::addColumn<QString>("shown");
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
    pumpSets(Id::SetFlowRate, 100000);
    QTRY_COMPARE_WITH_TIMEOUT(rig->window.itemForTests(Id::GetFlowRate)->value(), 100000, 3000);
    QTest::qWait(3 * mainForm::FastUpdateMs); // display updates
    QCOMPARE(field->text(), shown);
    QTest::keyClick(field, Qt::Key_Escape);
}

void tst_WindowDetails::rateSetsTheDispenseTime_data()
{
    QTest::addColumn<int>("volume"); // thousandths of a ml
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("sent"); // the frame; else part of the refusal, nothing sent
    QTest::newRow("5 ml at 10 ml/min: 30 s") << 5000 << "10"
                                             << "01DT00003000";
    QTest::newRow("1 ml at 7 ml/min: 8.57 s to 9 s") << 1000 << "7"
                                                     << "01DT00000900";
    QTest::newRow("0.1 ml at 12 ml/min: 0.5 s up to 1 s") << 100 << "12"
                                                          << "01DT00000100";
    QTest::newRow("0.1 ml at 100 ml/min: under 0.5 s, full flow") << 100 << "100"
                                                                  << "01DT00000000";
    QTest::newRow("999.9 ml at 10 ml/min: 01:39:59, the longest") << 999900 << "10"
                                                                  << "01DT01395900";
    QTest::newRow("12.5 ml at 2.5 ml/min: 5 min") << 12500 << "2.5"
                                                  << "01DT00050000";
    QTest::newRow("999.9 ml at 1 ml/min: too long") << 999900 << "1"
                                                    << "longer than the longest";
    QTest::newRow("above 100 ml/min") << 5000 << "150"
                                      << "150";
    QTest::newRow("below 1.0 ml/min") << 5000 << "0.5"
                                      << "0.5";
    QTest::newRow("no number") << 5000 << "fast"
                               << "fast";
}

void tst_WindowDetails::rateSetsTheDispenseTime()
{
    QFETCH(int, volume);
    QFETCH(QString, rate);
    QFETCH(QString, sent);
    QVERIFY(connect());
    pumpSets(Id::SetDispenseModeVolume, 0);
    pumpSets(Id::SetVolume, volume);
    pumpSets(Id::SetDispenseTime, 700); // 7 s, which no row asks for
    auto *field = rig->find<QLineEdit>("lineEditDispenseRate");
    QTRY_VERIFY_WITH_TIMEOUT(field->isVisible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(text("lineEditTimeSec"), QString("07"), 5000);
    QTRY_COMPARE(rig->window.itemForTests(Id::GetVolume)->value(), volume);
    QTRY_VERIFY(rig->stack.queuedEntries().empty());
    pump->clearLog();
    field->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(field->hasFocus());
    WindowRig::type(field, rate);
    const bool refused = !sent.startsWith("01DT");
    if (refused) // said at once; the line's own updates may clear it later
        QVERIFY2(text("labelUserAction").contains(sent), qPrintable(text("labelUserAction")));
    const QStringList frames = refused ? QStringList() : QStringList{sent};
    QTRY_COMPARE_WITH_TIMEOUT(timesReceived(), frames, 3000);
    QTest::qWait(6 * mainForm::FastUpdateMs);
    QCOMPARE(timesReceived(), frames);
}

void tst_WindowDetails::typedTimeShowsItsRate_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("rate");
    QTest::newRow("5 ml in 30 s: 10 ml/min") << 5000 << "30"
                                             << "10.00";
    QTest::newRow("5 ml in 60 s, carried to 1 min: 5 ml/min") << 5000 << "60"
                                                              << "5.000";
    QTest::newRow("1 ml in 7 s: 8.571 ml/min") << 1000 << "7"
                                               << "8.571";
    QTest::newRow("no time, full flow: no rate") << 5000 << "0"
                                                 << "";
}

void tst_WindowDetails::typedTimeShowsItsRate()
{
    QFETCH(int, volume);
    QFETCH(QString, seconds);
    QFETCH(QString, rate);
    QVERIFY(connect());
    pumpSets(Id::SetDispenseModeVolume, 0);
    pumpSets(Id::SetVolume, volume);
    pumpSets(Id::SetDispenseTime, 4500); // 45 s
    QTRY_COMPARE(rig->window.itemForTests(Id::GetVolume)->value(), volume);
    QTRY_COMPARE_WITH_TIMEOUT(text("lineEditTimeSec"), QString("45"), 5000);
    auto *field = rig->find<QLineEdit>("lineEditTimeSec");
    field->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(field->hasFocus());
    WindowRig::type(field, seconds);
    QTRY_COMPARE_WITH_TIMEOUT(text("lineEditDispenseRate"), rate, 3000);
}

void tst_WindowDetails::focusIsSeen_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("unit button") << "buttonMode";
    QTest::newRow("fold arrow") << "buttonAdvanced";
}

void tst_WindowDetails::focusIsSeen()
{
    QFETCH(QString, button);
    QVERIFY(connect());
    auto *w = rig->find<QWidget>(button.toLatin1().constData());
    w->clearFocus();
    const QImage plain = w->grab().toImage();
    w->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(w->hasFocus());
    QVERIFY(w->grab().toImage() != plain);
    w->clearFocus();
}

QTEST_MAIN(tst_WindowDetails)
#include "tst_windowdetails.moc"
