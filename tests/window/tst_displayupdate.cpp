// What one display update shows: the link state and the fading command feedback from the receive
// flags, and the pump's values from the items, written only into widgets the operator is not
// using; then how the answers of a pump search end it.

#include "ImageMatch.h"
#include "PtyPeer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"
#include "ui/MouseEventLineEdit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <unistd.h>

using Id = BusinessLogic::CommandSpezifier;

namespace {

const char greenBullet[] = ":/Images/Images/1406229038_bullet-green.png";
const char greyBullet[] = ":/Images/Images/1406229026_bullet-grey.png";

bool shows(QLabel *icon, const char *image)
{
    const QImage shown = icon->pixmap(Qt::ReturnByValue).toImage();
    return ImageMatch::same(shown, QImage(QString::fromLatin1(image)));
}

} // namespace

class tst_DisplayUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Title, link state and command feedback
    void title_data();
    void title();
    void receiveStates_data();
    void receiveStates();
    void portTroubleInBothToolTips_data();
    void portTroubleInBothToolTips();

    // Pump values
    void setPoints_data();
    void setPoints();
    void runModeFromThePump_data();
    void runModeFromThePump();
    void cycles_data();
    void cycles();
    void pauseTime_data();
    void pauseTime();
    void timeDisplay_data();
    void timeDisplay();
    void startButtonFollowsTheMotor();
    void versions_data();
    void versions();
    void reportedListValues_data();
    void reportedListValues();
    void checkBoxesFromThePumpSendNothing_data();
    void checkBoxesFromThePumpSendNothing();
    void focusedWidgetKeepsTheOperatorsValue_data();
    void focusedWidgetKeepsTheOperatorsValue();

    // Pump search
    void searchAnswers_data();
    void searchAnswers();

private:
    void update(const char *rxState = "0000");

    std::unique_ptr<WindowRig> rig;
};

void tst_DisplayUpdate::init()
{
    InstanceSettings().setAddress(0);
    // The feedback colour and opacity live as long as the program; each case starts fresh.
    mainForm::fadePercent = 100;
    mainForm::messageColour = QColor(0, 149, 216, 255);
    rig = std::make_unique<WindowRig>();
}

void tst_DisplayUpdate::cleanup()
{
    rig.reset();
}

void tst_DisplayUpdate::update(const char *rxState)
{
    rig->setRxState(rxState);
    rig->window.triggerUpdateValues();
}

// ---------------------------------------------------------------------------------------------
// Title, link state and command feedback

void tst_DisplayUpdate::title_data()
{
    QTest::addColumn<QString>("port"); // stored for this copy; "" for none
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("title");
    QTest::newRow("address 3 on COM4") << "COM4" << 3 << "HALVO DOSETTA  V1.0.1  (ADDR 3, COM4)";
    QTest::newRow("nothing stored") << "" << 0 << "HALVO DOSETTA  V1.0.1  (ADDR 0, )";
    QTest::newRow("address 99 on a device path")
        << "/dev/ttyUSB1" << 99 << "HALVO DOSETTA  V1.0.1  (ADDR 99, /dev/ttyUSB1)";
}

void tst_DisplayUpdate::title()
{
    QFETCH(QString, port);
    QFETCH(int, address);
    QFETCH(QString, title);

    rig.reset();
    InstanceSettings settings;
    if (port.isEmpty())
        settings.settings().remove(settings.key(InstanceSettings::portKey()));
    else
        settings.setPort(port);
    settings.setAddress(address);
    rig = std::make_unique<WindowRig>();
    update();
    QCOMPARE(rig->window.windowTitle(), title);
}

void tst_DisplayUpdate::receiveStates_data()
{
    QTest::addColumn<QStringList>("states"); // one update each: ACK, NAK, nothing, address
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("connectionSheet");
    QTest::addColumn<QString>("transmission");
    QTest::addColumn<QString>("transmissionSheet");
    QTest::addColumn<bool>("slowPoll");
    QTest::addColumn<QString>("queued"); // by the last update
    QTest::addColumn<int>("timerMs");    // 0: the update timer is not running

    const QString connected = QStringLiteral("PUMP CONNECTED");
    const QString connectedSheet = QStringLiteral("color:rgb(0,149,216);");
    const QString lostSheet = QStringLiteral("color:rgb(255,100,0); font-size:12pt;");
    const QString accepted = QStringLiteral("COMMAND ACCEPTED");
    const QString refused = QStringLiteral("COMMAND NOT ACCEPTED (RANGE)");
    const QString blue100 = QStringLiteral("color:rgba(0,149,216,100%);");
    const QString blue96 = QStringLiteral("color:rgba(0,149,216,96%);");
    const QString red100 = QStringLiteral("color:rgba(255,0,0,100%);");
    const QString red96 = QStringLiteral("color:rgba(255,0,0,96%);");

    QTest::newRow("1000 ACK ends on the fading style at 100 %")
        << QStringList{"1000"} << false << connected << connectedSheet << accepted << blue100
        << false << "" << 0;
    QTest::newRow("1000 then 0000 fades to 96 %")
        << QStringList{"1000", "0000"} << false << connected << connectedSheet << accepted << blue96
        << false << "" << 0;
    QTest::newRow("0100 NAK ends on red at 100 %")
        << QStringList{"0100"} << false << connected << connectedSheet << refused << red100 << false
        << "" << 0;
    QTest::newRow("0100 then 0000 fades the red text")
        << QStringList{"0100", "0000"} << false << connected << connectedSheet << refused << red96
        << false << "" << 0;
    QTest::newRow("0010 with the port open")
        << QStringList{"0010"} << true << "PUMP DISCONNECTED (PORT opend)" << lostSheet << ""
        << blue96 << true << "50:0 43:0" << 500;
    QTest::newRow("0010 with the port closed")
        << QStringList{"0010"} << false << "PUMP DISCONNECTED (PORT unavailable)" << lostSheet << ""
        << blue96 << true << "50:0 43:0" << 500;
    // Once the link answers again the update timer goes back to the fast rate at once.
    // A correct data frame after a silence shows the pump again at once.
    QTest::newRow("0000 with a correct frame after a disconnection, clears the slow poll")
        << QStringList{"0010", "0000"} << true << connected << connectedSheet << "" << blue96
        << false << "" << 50;
    QTest::newRow("0001 address answer after a disconnection")
        << QStringList{"0010", "0001"} << true << connected << connectedSheet << "" << blue96
        << false << "" << 50;
    QTest::newRow("1000 after a disconnection")
        << QStringList{"0010", "1000"} << true << connected << connectedSheet << accepted << blue100
        << false << "" << 50;
    QStringList fadeOut{"1000"};
    for (int i = 0; i < 30; ++i)
        fadeOut << QStringLiteral("0000");
    QTest::newRow("fading stops at 0 %")
        << fadeOut << false << connected << connectedSheet << accepted
        << "color:rgba(0,149,216,0%);" << false << "" << 0;
}

void tst_DisplayUpdate::receiveStates()
{
    QFETCH(QStringList, states);
    QFETCH(bool, portOpen);
    QFETCH(QString, connection);
    QFETCH(QString, connectionSheet);
    QFETCH(QString, transmission);
    QFETCH(QString, transmissionSheet);
    QFETCH(bool, slowPoll);
    QFETCH(QString, queued);
    QFETCH(int, timerMs);

    PtyPeer peer;
    if (portOpen) {
        QVERIFY(peer.isOpen());
        rig->link.setCommPortName(peer.slavePath());
        QVERIFY(rig->link.portOpen);
    }
    auto *connectionLabel = rig->find<QLabel>("labelConnectionState");
    auto *transmissionLabel = rig->find<QLabel>("labelTransmissionState");
    QVERIFY(connectionLabel && transmissionLabel);

    for (const QString &state : states) {
        rig->stack.clear();
        update(state.toLatin1().constData());
    }
    QCOMPARE(connectionLabel->text(), connection);
    QCOMPARE(connectionLabel->styleSheet(), connectionSheet);
    QCOMPARE(transmissionLabel->text(), transmission);
    QCOMPARE(transmissionLabel->styleSheet(), transmissionSheet);
    QCOMPARE(rig->find<QLabel>("labelUserAction")->text(), QString());
    QCOMPARE(rig->window.slowPollForTests(), slowPoll);
    QCOMPARE(rig->queued(), queued);
    QTimer &timer = rig->window.updateTimerForTests();
    QCOMPARE(timer.isActive() ? timer.interval() : 0, timerMs);
}

void tst_DisplayUpdate::portTroubleInBothToolTips_data()
{
    QTest::addColumn<QString>("stored"); // "<pty>" stands for a free pseudo-terminal
    QTest::addColumn<bool>("held");      // by another link, before the window starts
    QTest::addColumn<QString>("tip");    // "<pty>" and "<pid>" filled in

    QTest::newRow("stored device not plugged in")
        << "/dev/ttyDOSETTA-absent" << false << "/dev/ttyDOSETTA-absent: not present — plugged in?";
    QTest::newRow("stored port held by another link")
        << "<pty>" << true
        << "<pty>: in use by tst_displayupdate, pid <pid>. Close that program, or choose another "
           "port.";
    QTest::newRow("stored port open: no tool tip") << "<pty>" << false << "";
}

void tst_DisplayUpdate::portTroubleInBothToolTips()
{
    QFETCH(QString, stored);
    QFETCH(bool, held);
    QFETCH(QString, tip);

    PtyPeer peer;
    QVERIFY(peer.isOpen());
    stored.replace("<pty>", peer.slavePath());
    tip.replace("<pty>", peer.slavePath()).replace("<pid>", QString::number(getpid()));
    Communication holder;
    if (held)
        holder.setCommPortName(peer.slavePath());
    qputenv("DOSETTA_PORTS", QFile::encodeName(peer.slavePath()));
    rig.reset();
    InstanceSettings().setPort(stored);
    rig = std::make_unique<WindowRig>();
    qunsetenv("DOSETTA_PORTS");

    update("0010");
    QCOMPARE(rig->find<QLabel>("labelConnectionState")->toolTip(), tip);
    QCOMPARE(rig->find<QWidget>("listWidgetComPorts")->toolTip(), tip);
}

// ---------------------------------------------------------------------------------------------
// Pump values

void tst_DisplayUpdate::setPoints_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("volume"); // answer to ?DV
    QTest::addColumn<QString>("flow");   // answer to ?RV
    QTest::addColumn<QString>("shown");
    QTest::newRow("volume 12500 is 12.50") << "ml"
                                           << "00012500"
                                           << "00050000"
                                           << "12.50";
    QTest::newRow("volume 999900 is 999.9") << "ml"
                                            << "00999900"
                                            << "00050000"
                                            << "999.9";
    QTest::newRow("volume 500 is 0.5000") << "ml"
                                          << "00000500"
                                          << "00050000"
                                          << "0.5000";
    QTest::newRow("flow mode shows the flow rate") << "ml/min"
                                                   << "00999900"
                                                   << "00012500"
                                                   << "12.50";
}

void tst_DisplayUpdate::setPoints()
{
    QFETCH(QString, mode);
    QFETCH(QString, volume);
    QFETCH(QString, flow);
    QFETCH(QString, shown);

    QVERIFY(rig->pickRunMode(mode));
    rig->report(Id::GetRunMode, mode == QLatin1String("ml") ? "1" : "0");
    rig->report(Id::GetVolume, volume.toStdString());
    rig->report(Id::GetFlowRate, flow.toStdString());
    update();
    QCOMPARE(rig->find<QLineEdit>("lineEditVolume")->text(), shown);
    QCOMPARE(rig->find<QLineEdit>("lineEditCalVolume")->text(), shown);
}

void tst_DisplayUpdate::runModeFromThePump_data()
{
    QTest::addColumn<QString>("before"); // menu entry picked first
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("buttonText");
    QTest::addColumn<int>("flag");
    QTest::addColumn<double>("maximum"); // of the set-point field
    QTest::addColumn<double>("minimum"); // the pump's limits: 1.0 ml/min, 0.1 ml
    QTest::newRow("0 is flow") << "ml"
                               << "0"
                               << "   ml/min   " << 0 << 100.0 << 1.0;
    QTest::newRow("1 is volume") << "ml/min"
                                 << "1"
                                 << "     ml     " << 1 << 999.9 << 0.1;
    QTest::newRow("2 shows ml/min and enters a flow rate") << "ml/min"
                                                           << "2"
                                                           << "   ml/min   " << 2 << 100.0 << 1.0;
    QTest::newRow("7 changes nothing") << "ml"
                                       << "7"
                                       << "     ml     " << 1 << 999.9 << 1.0;
}

void tst_DisplayUpdate::runModeFromThePump()
{
    QFETCH(QString, before);
    QFETCH(QString, reported);
    QFETCH(QString, buttonText);
    QFETCH(int, flag);
    QFETCH(double, maximum);
    QFETCH(double, minimum);

    auto *field = rig->find<MouseEventLineEdit>("lineEditVolume");
    QVERIFY(field);
    QVERIFY(rig->pickRunMode(before));
    rig->stack.clear();
    rig->report(Id::GetRunMode, reported.toStdString());
    update();
    QCOMPARE(rig->find<QAbstractButton>("buttonMode")->text(), buttonText);
    QCOMPARE(int(rig->window.runModeForTests()), flag);
    QCOMPARE(field->maximum, maximum);
    QCOMPARE(field->minimum, minimum);
    QCOMPARE(rig->queued(), QString());
}

void tst_DisplayUpdate::cycles_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1 is OFF") << "0001"
                              << "OFF";
    QTest::newRow("0 is OFF") << "0000"
                              << "OFF";
    QTest::newRow("1000 is INF") << "1000"
                                 << "INF";
    QTest::newRow("25") << "0025"
                        << "25";
}

void tst_DisplayUpdate::cycles()
{
    QFETCH(QString, reported);
    QFETCH(QString, shown);
    rig->report(Id::GetDispenseVolumeNumber, reported.toStdString());
    update();
    QCOMPARE(rig->find<QLineEdit>("lineEditCycles")->text(), shown);
}

void tst_DisplayUpdate::pauseTime_data()
{
    QTest::addColumn<QString>("reported"); // seconds
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("125 s is 2 and 5") << "00125"
                                      << "2"
                                      << "5";
    QTest::newRow("60 s is 1 and 0") << "00060"
                                     << "1"
                                     << "0";
    QTest::newRow("59 s is 0 and 59") << "00059"
                                      << "0"
                                      << "59";
}

void tst_DisplayUpdate::pauseTime()
{
    QFETCH(QString, reported);
    QFETCH(QString, minutes);
    QFETCH(QString, seconds);
    rig->report(Id::GetDispenseVolumeBreakTime, reported.toStdString());
    update();
    QCOMPARE(rig->find<QLineEdit>("lineEditBreakTimeMin")->text(), minutes);
    QCOMPARE(rig->find<QLineEdit>("lineEditBreakTimeSec")->text(), seconds);
}

void tst_DisplayUpdate::timeDisplay_data()
{
    QTest::addColumn<QString>("target");  // answer to ?DT
    QTest::addColumn<QString>("elapsed"); // answer to ?TT
    QTest::addColumn<bool>("running");    // status group 1, bit 0
    QTest::addColumn<QString>("shown");   // the three labels
    QTest::addColumn<QString>("page");
    QTest::newRow("count down: target 1 min, 15.40 s elapsed") << "00010000"
                                                               << "00001540" << true << "00:00:45"
                                                               << "pagePause";
    QTest::newRow("count up without target: 01:02:30.45") << "00000000"
                                                          << "01023045" << true << "01:02:30"
                                                          << "pagePause";
    QTest::newRow("standing shows the target") << "00013000"
                                               << "00001540" << false << "00:01:30"
                                               << "pageStart";
}

void tst_DisplayUpdate::timeDisplay()
{
    QFETCH(QString, target);
    QFETCH(QString, elapsed);
    QFETCH(bool, running);
    QFETCH(QString, shown);
    QFETCH(QString, page);

    rig->report(Id::GetDispenseTime, target.toStdString());
    rig->report(Id::GetTimeActual, elapsed.toStdString());
    rig->report(Id::GetPumpStatus, running ? "001 1" : "000 1");
    update();
    const QString labels = rig->find<QLabel>("labelTimeActualHour")->text() + ':' +
                           rig->find<QLabel>("labelTimeActualMin")->text() + ':' +
                           rig->find<QLabel>("labelTimeActualSec")->text();
    QCOMPARE(labels, shown);
    QCOMPARE(rig->find<QStackedWidget>("stackedButtonStartPause")->currentWidget()->objectName(),
             page);
}

void tst_DisplayUpdate::startButtonFollowsTheMotor()
{
    auto *pages = rig->find<QStackedWidget>("stackedButtonStartPause");
    auto *motor = rig->find<QLabel>("labelMotorMotionIcon");
    QVERIFY(pages && motor);
    update();
    QVERIFY(shows(motor, greyBullet));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("pageStart"));

    // Started, even from the pump's own keypad: the start button becomes the pause button.
    rig->report(Id::GetPumpStatus, "001 1");
    update();
    QVERIFY(shows(motor, greenBullet));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("pagePause"));
    update();
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("pagePause"));

    // Another group's word leaves group 1 as it was.
    rig->report(Id::GetPumpStatus, "000 2");
    update();
    QVERIFY(shows(motor, greenBullet));

    rig->report(Id::GetPumpStatus, "000 1");
    update();
    QVERIFY(shows(motor, greyBullet));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("pageStart"));
    QCOMPARE(rig->queued(), QString());
}

void tst_DisplayUpdate::versions_data()
{
    QTest::addColumn<QString>("before"); // another pump shown first
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("0011001023") << "0010200000"
                                << "0011001023"
                                << "FLUXO 10"
                                << "V1.23";
    QTest::newRow("0010200000") << "0011001023"
                                << "0010200000"
                                << "FLUXO 02"
                                << "V0.0";
    QTest::newRow("empty") << "0011001023"
                           << ""
                           << "UNKNOWN"
                           << "V0.0";
}

void tst_DisplayUpdate::versions()
{
    QFETCH(QString, before);
    QFETCH(QString, reported);
    QFETCH(QString, type);
    QFETCH(QString, firmware);
    rig->report(Id::GetModelVersion, before.toStdString());
    update();
    rig->report(Id::GetModelVersion, reported.toStdString());
    update();
    QCOMPARE(rig->find<QLabel>("labelPumpModel")->text(), type);
    QCOMPARE(rig->find<QLabel>("labelVersionHW")->text(), type);
    QCOMPARE(rig->find<QLabel>("labelVersionFW")->text(), firmware);
}

void tst_DisplayUpdate::reportedListValues_data()
{
    QTest::addColumn<int>("query");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("before"); // the list's index before the update
    QTest::addColumn<int>("index");
    auto row = [](const char *name, Id query, const char *reported, const char *combo, int before,
                  int index) {
        QTest::newRow(name) << BusinessLogic::toInt(query) << reported << combo << before << index;
    };
    row("calibration 9550 is 95.5 %", Id::GetCustCalPercent, "09550", "comboCalPercent", 0, 155);
    row("analog input 3 is 0..5 V", Id::GetAnalogInput, "3", "comboAnalIn", 0, 2);
    row("input 1 function 6 is edge", Id::GetDigitalIn1, "06", "comboDigIn1", 0, 2);
    row("input 2 function 10 is reset & prime", Id::GetDigitalIn2, "10", "comboDigIn2", 0, 5);
    row("output 3", Id::GetDigitalOut, "3", "comboDigOut", 0, 3);
    row("output 7 leaves the choice", Id::GetDigitalOut, "7", "comboDigOut", 2, 2);
    row("language 4", Id::GetLanguage, "4", "comboLanguage", 0, 4);
    row("contrast 55 %", Id::GetDisplayContrast, "055", "comboContrast", 0, 55);
    row("fluid type 2", Id::GetPumpProfileCharactristic, "2", "comboTypeFluid", 0, 2);
    row("pump address 12", Id::GetPumpAddress, "12", "comboPumpAddress", 0, 12);
    row("pump model 3", Id::GetPumpModel, "3", "comboPumpModel", 0, 3);
}

void tst_DisplayUpdate::reportedListValues()
{
    QFETCH(int, query);
    QFETCH(QString, reported);
    QFETCH(QString, combo);
    QFETCH(int, before);
    QFETCH(int, index);

    auto *list = rig->window.findChild<QComboBox *>(combo);
    QVERIFY(list);
    list->setCurrentIndex(before);
    rig->report(static_cast<Id>(query), reported.toStdString());
    update();
    QCOMPARE(list->currentIndex(), index);
    QCOMPARE(rig->queued(), QString());
}

void tst_DisplayUpdate::checkBoxesFromThePumpSendNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("query");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("checked");
    QTest::newRow("auto start on")
        << "checkboAutostart" << BusinessLogic::toInt(Id::GetAutostart) << "1" << true;
    QTest::newRow("protocol answer off")
        << "checkboProtAnswer" << BusinessLogic::toInt(Id::GetProtocolAnswer) << "0" << false;
    QTest::newRow("factory mode on")
        << "checkboFactoryMode" << BusinessLogic::toInt(Id::GetFactoryMode) << "1" << true;
}

void tst_DisplayUpdate::checkBoxesFromThePumpSendNothing()
{
    QFETCH(QString, box);
    QFETCH(int, query);
    QFETCH(QString, reported);
    QFETCH(bool, checked);

    auto *check = rig->window.findChild<QCheckBox *>(box);
    QVERIFY(check);
    QCOMPARE(check->isChecked(), !checked);
    rig->report(static_cast<Id>(query), reported.toStdString());
    update();
    QCOMPARE(check->isChecked(), checked);
    QCOMPARE(rig->queued(), QString());
    // And back: the pump's other value is shown without a command either.
    rig->report(static_cast<Id>(query), checked ? "0" : "1");
    update();
    QCOMPARE(check->isChecked(), !checked);
    QCOMPARE(rig->queued(), QString());
}

void tst_DisplayUpdate::focusedWidgetKeepsTheOperatorsValue_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("query");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("operators"); // list index, field text or check state 0/1
    QTest::addColumn<QString>("pumps");     // shown once the widget has lost the focus
    auto row = [](const char *name, const char *widget, Id query, const char *reported,
                  const char *operators, const char *pumps) {
        QTest::newRow(name) << widget << BusinessLogic::toInt(query) << reported << operators
                            << pumps;
    };
    row("language list", "comboLanguage", Id::GetLanguage, "5", "3", "5");
    row("calibration list", "comboCalPercent", Id::GetCustCalPercent, "09550", "20", "155");
    row("pump address list", "comboPumpAddress", Id::GetPumpAddress, "12", "4", "12");
    row("set-point field", "lineEditVolume", Id::GetFlowRate, "00012500", "33", "12.50");
    row("cycles field", "lineEditCycles", Id::GetDispenseVolumeNumber, "1000", "7", "INF");
    row("auto start box", "checkboAutostart", Id::GetAutostart, "1", "0", "1");
}

void tst_DisplayUpdate::focusedWidgetKeepsTheOperatorsValue()
{
    QFETCH(QString, widget);
    QFETCH(int, query);
    QFETCH(QString, reported);
    QFETCH(QString, operators);
    QFETCH(QString, pumps);

    QWidget *w = rig->window.findChild<QWidget *>(widget);
    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    QVERIFY(w && tabs);
    QTest::mouseClick(rig->find<QAbstractButton>("buttonAdvanced"), Qt::LeftButton);
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(w))
            tabs->setCurrentIndex(i);
    }
    rig->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig->window));
    QApplication::setActiveWindow(&rig->window);
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());

    auto value = [w]() -> QString {
        if (auto *combo = qobject_cast<QComboBox *>(w))
            return QString::number(combo->currentIndex());
        if (auto *field = qobject_cast<QLineEdit *>(w))
            return field->text();
        return qobject_cast<QCheckBox *>(w)->isChecked() ? QStringLiteral("1")
                                                         : QStringLiteral("0");
    };
    // The operator's entry in progress.
    if (auto *combo = qobject_cast<QComboBox *>(w))
        combo->setCurrentIndex(operators.toInt());
    else if (auto *field = qobject_cast<QLineEdit *>(w))
        field->setText(operators);
    else
        qobject_cast<QCheckBox *>(w)->setChecked(operators == QLatin1String("1"));
    QCOMPARE(value(), operators);

    rig->report(static_cast<Id>(query), reported.toStdString());
    rig->report(Id::GetDisplayContrast, "055");
    update();
    QCOMPARE(value(), operators);
    // Everything else follows the pump in the same update.
    QCOMPARE(rig->find<QComboBox>("comboContrast")->currentIndex(), 55);

    // Leaving a field finishes its entry (and sends it); the next poll brings the pump's value.
    w->clearFocus();
    QVERIFY(!w->hasFocus());
    rig->report(static_cast<Id>(query), reported.toStdString());
    update();
    QCOMPARE(value(), pumps);
}

// ---------------------------------------------------------------------------------------------
// Pump search

void tst_DisplayUpdate::searchAnswers_data()
{
    QTest::addColumn<QStringList>("answers"); // "id:text", published by the stack in order
    QTest::addColumn<QString>("located");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("ended");

    QTest::newRow("07 from the check ends the search at 7")
        << QStringList{"43:07"} << "7" << 7 << true;
    QTest::newRow("98 from another command shows NONE")
        << QStringList{"46:98"} << "NONE" << 5 << false;
    QTest::newRow("-1 from the check searches on") << QStringList{"43:-1"} << "NONE" << 5 << false;
    QTest::newRow("98, then 05 from the check ends at 5")
        << QStringList{"46:98", "43:05"} << "5" << 5 << true;
    QTest::newRow("after 07 a later answer changes nothing")
        << QStringList{"43:07", "43:12"} << "7" << 7 << true;
}

void tst_DisplayUpdate::searchAnswers()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, located);
    QFETCH(int, address);
    QFETCH(bool, ended);

    auto *addressList = rig->find<QComboBox>("comboCommAddress");
    auto *indicator = rig->find<QLabel>("labelLocatedAddressIndicator");
    QVERIFY(addressList && indicator);
    addressList->setCurrentIndex(5);
    QTest::mouseClick(rig->find<QAbstractButton>("buttonSearchPump"), Qt::LeftButton);
    QCOMPARE(rig->stack.queuedCount(), 299);

    for (const QString &answer : answers) {
        const int id = answer.section(QLatin1Char(':'), 0, 0).toInt();
        const std::string text = answer.section(QLatin1Char(':'), 1).toStdString();
        emit rig->stack.sendAnswer(Answer{id, text});
    }
    QCOMPARE(indicator->text(), located);
    QCOMPARE(addressList->currentIndex(), address);
    if (ended) {
        // The rest of the search is dropped; the address found is queued and stored.
        QCOMPARE(rig->queued(), QStringLiteral("50:%1").arg(address));
        QCOMPARE(InstanceSettings().address(), address);
        QVERIFY(!rig->refresher.everyTick().empty());
    } else {
        QCOMPARE(rig->stack.queuedCount(), 299);
        QCOMPARE(InstanceSettings().address(), 0);
        QVERIFY(rig->refresher.everyTick().empty());
    }
}

QTEST_MAIN(tst_DisplayUpdate)
#include "tst_displayupdate.moc"
