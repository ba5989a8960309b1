// What the operator's widget actions queue: one command object and value per action, the
// repeat and exclusivity rules between lists, the run-mode menu, the time fields, the pump search
// and the advanced screen; then the link commands that stop the update timer, clear the queue and
// restart the timer.

#include "SheetRules.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"
#include "ui/Confirmation.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using Id = BusinessLogic::CommandSpezifier;

class tst_OperatorCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Operator commands
    void launchedCommands_data();
    void launchedCommands();
    void runModeMenu_data();
    void runModeMenu();
    void refusedEntryShowsThePumpsValueAgain();
    void typedNumberUnderLocale_data();
    void typedNumberUnderLocale();
    void typedEntryWithTheFocus_data();
    void typedEntryWithTheFocus();
    void dispenseTimeFields_data();
    void dispenseTimeFields();
    void digitalInputExclusivity_data();
    void digitalInputExclusivity();
    void repeatedChoices_data();
    void repeatedChoices();
    void picksAgainstThePump_data();
    void picksAgainstThePump();
    void nextUpdateShowsWhatWasSent_data();
    void nextUpdateShowsWhatWasSent();
    void runButtonSheets_data();
    void runButtonSheets();
    void pumpSearchQueue();
    void advancedToggleTwice_data();
    void advancedToggleTwice();
    void factoryGate_data();
    void factoryGate();

    // Link commands and the update timer
    void noCyclicDataKeepsTheTimerStopped();
    void communicationAddressIsStoredAndRestored();
    void stressTest_data();
    void stressTest();
    void linkCommandsReplaceTheQueue_data();
    void linkCommandsReplaceTheQueue();

private:
    // The widget's action: a click, a typed entry with Return, a list choice, a menu entry.
    bool act(const QString &widgetName, const QString &input);

    std::unique_ptr<WindowRig> rig;
};

void tst_OperatorCommands::init()
{
    if (qstrcmp(QTest::currentTestFunction(), "factoryGate") == 0)
        return; // a pure rule: no window needed
    // Each window starts from the default communication address.
    InstanceSettings().setAddress(0);
    rig = std::make_unique<WindowRig>();
    // The operator says Yes to the questions before the commands that cannot be undone.
    rig->window.findChild<Confirmation *>()->answerWith([](const auto &) { return true; });
}

void tst_OperatorCommands::cleanup()
{
    rig.reset();
}

bool tst_OperatorCommands::act(const QString &widgetName, const QString &input)
{
    QWidget *w = rig->window.findChild<QWidget *>(widgetName);
    if (w == nullptr)
        return false;
    if (widgetName == QLatin1String("buttonMode"))
        return rig->pickRunMode(input);
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        bool ok = false;
        const int index = input.toInt(&ok);
        if (!ok || index < 0 || index >= combo->count())
            return false;
        WindowRig::choose(combo, index);
        return true;
    }
    if (auto *field = qobject_cast<QLineEdit *>(w)) {
        WindowRig::type(field, input);
        return true;
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        const bool wasChecked = button->isChecked();
        QTest::mouseClick(button, Qt::LeftButton);
        // A check box that did not toggle was not hit.
        return !button->isCheckable() || button->isChecked() != wasChecked;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Operator commands

void tst_OperatorCommands::launchedCommands_data()
{
    // Run-mode menu entry picked first, "pump:N" for run mode N reported by the pump; "" for none.
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input"); // typed text or list index; unused for buttons
    QTest::addColumn<QString>("queued");

    const QString none;
    QTest::newRow("start") << none << "buttonStart" << none << "4:0";
    QTest::newRow("stop") << none << "buttonStop" << none << "5:0";
    QTest::newRow("pause") << none << "buttonPause" << none << "7:0";
    QTest::newRow("prime") << none << "buttonPrime" << none << "6:0";

    QTest::newRow("ml then 12.5 is a volume") << "ml"
                                              << "lineEditVolume"
                                              << "12.5"
                                              << "10:12500";
    QTest::newRow("ml/min then 12.5 is a flow rate") << "ml/min"
                                                     << "lineEditVolume"
                                                     << "12.5"
                                                     << "11:12500";
    QTest::newRow("1.001 ml is 1001, not 1000") << "ml"
                                                << "lineEditVolume"
                                                << "1.001"
                                                << "10:1001";
    QTest::newRow("before any mode the set-point is a flow rate") << none << "lineEditVolume"
                                                                  << "25"
                                                                  << "11:25000";
    QTest::newRow("dispensing by flow rate (run mode 2): 12.5 is a flow rate") << "pump:2"
                                                                               << "lineEditVolume"
                                                                               << "12.5"
                                                                               << "11:12500";
    QTest::newRow("1e309 sends nothing") << "ml"
                                         << "lineEditVolume"
                                         << "1e309"
                                         << "";
    QTest::newRow("nan sends nothing") << "ml"
                                       << "lineEditVolume"
                                       << "nan"
                                       << "";
    QTest::newRow("-inf sends nothing") << "ml/min"
                                        << "lineEditVolume"
                                        << "-inf"
                                        << "";
    QTest::newRow("a thousand digits send nothing")
        << "ml"
        << "lineEditVolume" << QString(1000, QLatin1Char('9')) << "";

    QTest::newRow("dispense time 5 s") << none << "lineEditTimeSec"
                                       << "5"
                                       << "13:500";
    QTest::newRow("dispense time 1 h") << none << "lineEditTimeHour"
                                       << "1"
                                       << "13:1000000";
    QTest::newRow("pause time 125 s") << none << "lineEditBreakTimeSec"
                                      << "125"
                                      << "17:125";
    QTest::newRow("pause time 2 min") << none << "lineEditBreakTimeMin"
                                      << "2"
                                      << "17:120";
    QTest::newRow("cycles 25") << none << "lineEditCycles"
                               << "25"
                               << "19:25";
    // "INF" is how the field shows endless dosing: typed, it means the same.
    QTest::newRow("cycles INF is endless") << none << "lineEditCycles"
                                           << "INF"
                                           << "19:1000";
    QTest::newRow("cycles OFF") << none << "lineEditCycles"
                                << "OFF"
                                << "19:0";
    QTest::newRow("cycles that are no number send nothing") << none << "lineEditCycles"
                                                            << "many"
                                                            << "";
    QTest::newRow("cycles beyond 1000 send nothing") << none << "lineEditCycles"
                                                     << "1001"
                                                     << "";
    QTest::newRow("cycles with more digits than an int send nothing") << none << "lineEditCycles"
                                                                      << "99999999999"
                                                                      << "";
    QTest::newRow("pause seconds with more digits than an int send nothing")
        << none << "lineEditBreakTimeSec"
        << "99999999999"
        << "";

    QTest::newRow("analog OFF") << none << "comboAnalIn"
                                << "0"
                                << "21:9";
    QTest::newRow("analog 0..10 V") << none << "comboAnalIn"
                                    << "1"
                                    << "21:0";
    QTest::newRow("analog 0..5 V") << none << "comboAnalIn"
                                   << "2"
                                   << "21:3";
    QTest::newRow("analog 0..20 mA") << none << "comboAnalIn"
                                     << "3"
                                     << "21:1";
    QTest::newRow("analog 4..20 mA") << none << "comboAnalIn"
                                     << "4"
                                     << "21:2";
    QTest::newRow("input 1 OFF") << none << "comboDigIn1"
                                 << "0"
                                 << "25:0";
    QTest::newRow("input 1 level") << none << "comboDigIn1"
                                   << "1"
                                   << "25:1";
    QTest::newRow("input 1 edge") << none << "comboDigIn1"
                                  << "2"
                                  << "25:6";
    QTest::newRow("input 2 OFF") << none << "comboDigIn2"
                                 << "0"
                                 << "27:0";
    QTest::newRow("input 2 edge") << none << "comboDigIn2"
                                  << "2"
                                  << "27:6";
    QTest::newRow("input 2 reset") << none << "comboDigIn2"
                                   << "3"
                                   << "27:8";
    QTest::newRow("input 2 prime/drain") << none << "comboDigIn2"
                                         << "4"
                                         << "27:9";
    QTest::newRow("input 2 reset & prime") << none << "comboDigIn2"
                                           << "5"
                                           << "27:10";

    QTest::newRow("language Italian") << none << "comboLanguage"
                                      << "4"
                                      << "31:4";
    QTest::newRow("calibration volume 1.001 ml") << none << "lineEditCalVolume"
                                                 << "1.001"
                                                 << "33:1001";
    QTest::newRow("calibration volume 1e39 sends nothing") << none << "lineEditCalVolume"
                                                           << "1e39"
                                                           << "";
    QTest::newRow("calibration 95.5 %") << none << "comboCalPercent"
                                        << "155"
                                        << "34:9550";
    QTest::newRow("calibration 120.0 %") << none << "comboCalPercent"
                                         << "400"
                                         << "34:12000";
    QTest::newRow("auto start ticked") << none << "checkboAutostart" << none << "36:1";
    QTest::newRow("fluid VISCOSITY 500cSt") << none << "comboTypeFluid"
                                            << "3"
                                            << "38:3";
    QTest::newRow("contrast 55 %") << none << "comboContrast"
                                   << "55"
                                   << "40:55";

    QTest::newRow("test button") << none << "buttonTestComm" << none << "50:0 43:0";
    QTest::newRow("protocol answer unticked") << none << "checkboProtAnswer" << none << "46:0";
    QTest::newRow("pump address 12") << none << "comboPumpAddress"
                                     << "12"
                                     << "48:12";
    QTest::newRow("communication address 7") << none << "comboCommAddress"
                                             << "7"
                                             << "50:7";
    QTest::newRow("incorrect LRC ticked") << none << "checkboIncorrectLRC" << none << "51:1";
    QTest::newRow("unused LRC ticked") << none << "checkboUnusedLRC" << none << "52:1";
    QTest::newRow("hand-typed command") << none << "lineEditDiscreteCommand"
                                        << "KY1"
                                        << "53:0";

    QTest::newRow("default values") << none << "buttonDefaults" << none << "54:0";
    QTest::newRow("factory mode ticked") << none << "checkboFactoryMode" << none << "55:1";
    QTest::newRow("factory calibration volume 12.5 ml") << none << "lineEditFactoryCalVolume"
                                                        << "12.5"
                                                        << "57:12500";
    QTest::newRow("maintenance position") << none << "buttonMaintenancePos" << none << "58:1";
    QTest::newRow("pump model M02-B") << none << "comboPumpModel"
                                      << "3"
                                      << "60:3";
    QTest::newRow("stroke volume 202.5 ul") << none << "lineEditFactoryPumpStrokeVolume"
                                            << "202.5"
                                            << "62:2025";

    QTest::newRow("menu ml/min") << none << "buttonMode"
                                 << "ml/min"
                                 << "0:0";
    QTest::newRow("menu ml") << none << "buttonMode"
                             << "ml"
                             << "15:0";
}

void tst_OperatorCommands::launchedCommands()
{
    QFETCH(QString, mode);
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QString, queued);

    if (mode.startsWith(QLatin1String("pump:"))) {
        rig->report(Id::GetRunMode, mode.mid(5).toStdString());
        rig->setRxState("0000");
        rig->window.triggerUpdateValues();
    } else if (!mode.isEmpty()) {
        QVERIFY(rig->pickRunMode(mode));
    }
    rig->stack.clear();
    QVERIFY2(act(widget, input), qPrintable(widget));
    QCOMPARE(rig->queued(), queued);
    QVERIFY(rig->allQueuedLogged());
}

void tst_OperatorCommands::runModeMenu_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("buttonText");
    QTest::addColumn<QString>("queued");
    QTest::newRow("ml") << "ml" << 1 << "     ml     "
                        << "15:0";
    QTest::newRow("ml/min") << "ml/min" << 0 << "   ml/min   "
                            << "0:0";
}

void tst_OperatorCommands::runModeMenu()
{
    QFETCH(QString, entry);
    QFETCH(int, flag);
    QFETCH(QString, buttonText);
    QFETCH(QString, queued);

    auto *button = rig->find<QPushButton>("buttonMode");
    QVERIFY(button);
    // Start from the other mode, so both the flag and the text must change.
    QVERIFY(rig->pickRunMode(entry == QLatin1String("ml") ? "ml/min" : "ml"));
    rig->stack.clear();
    QVERIFY(rig->pickRunMode(entry));
    QCOMPARE(rig->queued(), queued);
    QCOMPARE(int(rig->window.runModeForTests()), flag);
    QCOMPARE(button->text(), buttonText);
    QCOMPARE(rig->window.itemForTests(Id::GetRunMode)->value(), flag);
}

void tst_OperatorCommands::refusedEntryShowsThePumpsValueAgain()
{
    auto *field = rig->find<QLineEdit>("lineEditVolume");
    QVERIFY(field);
    rig->report(Id::GetFlowRate, "00025000");
    rig->setRxState("0000");
    rig->stack.clear();
    WindowRig::type(field, QStringLiteral("nan"));
    QCOMPARE(rig->queued(), QString());
    rig->window.triggerUpdateValues();
    QCOMPARE(field->text(), QStringLiteral("25.00"));
}

// Under any locale a typed number means what the operator meant, or nothing goes and the
// feedback line says why: a group separator is never read, a value outside the limits is never
// cut to fit.
void tst_OperatorCommands::typedNumberUnderLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("queued");
    QTest::addColumn<QString>("feedback"); // the start of the feedback line

    const QString volume = QStringLiteral("lineEditVolume");
    QTest::newRow("en_US: 0,500 ml sends nothing") << "en_US"
                                                   << "ml" << volume << "0,500"
                                                   << ""
                                                   << "volume: \"0,500\" is not a number";
    QTest::newRow("C: 0,500 ml sends nothing") << "C"
                                               << "ml" << volume << "0,500"
                                               << ""
                                               << "volume: \"0,500\" is not a number";
    QTest::newRow("en_US: 0,050 ml/min sends nothing") << "en_US"
                                                       << "ml/min" << volume << "0,050"
                                                       << ""
                                                       << "flow-rate: \"0,050\" is not";
    QTest::newRow("C: 0,050 ml/min sends nothing") << "C"
                                                   << "ml/min" << volume << "0,050"
                                                   << ""
                                                   << "flow-rate: \"0,050\" is not";
    QTest::newRow("de_DE: 12,5 ml/min is 12.5") << "de_DE"
                                                << "ml/min" << volume << "12,5"
                                                << "11:12500"
                                                << "";
    QTest::newRow("de_DE: 1.000,5 ml sends nothing") << "de_DE"
                                                     << "ml" << volume << "1.000,5"
                                                     << ""
                                                     << "volume: \"1.000,5\" is not";
    QTest::newRow("en_US: 150 ml/min is above the limit, not cut")
        << "en_US"
        << "ml/min" << volume << "150"
        << ""
        << "flow-rate: 150 is above 100.0 ml/min";
    QTest::newRow("en_US: 0.05 ml/min is below the limit") << "en_US"
                                                           << "ml/min" << volume << "0.05"
                                                           << ""
                                                           << "flow-rate: 0.05 is below 1.0";
    QTest::newRow("C: calibration volume 0,5 sends nothing")
        << "C"
        << ""
        << "lineEditCalVolume"
        << "0,5"
        << ""
        << "calibration-volume: \"0,5\" is not";
    QTest::newRow("C: calibration volume 150 is above the limit")
        << "C"
        << ""
        << "lineEditCalVolume"
        << "150"
        << ""
        << "calibration-volume: 150 is above 100.0 ml";
    QTest::newRow("de_DE: calibration volume 12,5") << "de_DE"
                                                    << ""
                                                    << "lineEditCalVolume"
                                                    << "12,5"
                                                    << "33:12500"
                                                    << "";
}

void tst_OperatorCommands::typedNumberUnderLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, mode);
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QString, queued);
    QFETCH(QString, feedback);

    const QLocale saved;
    QLocale::setDefault(QLocale(locale));
    if (!mode.isEmpty())
        QVERIFY(rig->pickRunMode(mode));
    rig->stack.clear();
    const bool acted = act(widget, input);
    QLocale::setDefault(saved);
    QVERIFY2(acted, qPrintable(widget));
    QCOMPARE(rig->queued(), queued);
    const QString shown = rig->find<QLabel>("labelUserAction")->text();
    if (feedback.isEmpty())
        QCOMPARE(shown, QString());
    else
        QVERIFY2(shown.startsWith(feedback), qPrintable(shown));
}

void tst_OperatorCommands::typedEntryWithTheFocus_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("queued");
    QTest::newRow("set-point 12.5 ml") << "ml"
                                       << "lineEditVolume"
                                       << "12.5"
                                       << "10:12500";
    QTest::newRow("cycles 25") << ""
                               << "lineEditCycles"
                               << "25"
                               << "19:25";
    QTest::newRow("dispense time 5 s") << ""
                                       << "lineEditTimeSec"
                                       << "5"
                                       << "13:500";
}

// As the operator enters a value: click into the field, type, Return.
void tst_OperatorCommands::typedEntryWithTheFocus()
{
    QFETCH(QString, mode);
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QString, queued);

    auto *field = rig->window.findChild<QLineEdit *>(widget);
    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    QVERIFY(field && tabs);
    if (!mode.isEmpty())
        QVERIFY(rig->pickRunMode(mode));
    QTest::mouseClick(rig->find<QAbstractButton>("buttonAdvanced"), Qt::LeftButton);
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(field))
            tabs->setCurrentIndex(i);
    }
    rig->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig->window));
    QApplication::setActiveWindow(&rig->window);
    QTest::mouseClick(field, Qt::LeftButton);
    QTRY_VERIFY(field->hasFocus());

    rig->stack.clear();
    field->selectAll();
    QTest::keyClicks(field, input);
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!field->hasFocus());
    QCOMPARE(rig->queued(), queued);
    // Whatever the count, only the value typed goes out.
    const QStringList sent = rig->queued().split(QLatin1Char(' '));
    QVERIFY(!sent.isEmpty());
    for (const QString &entry : sent)
        QCOMPARE(entry, queued);
}

void tst_OperatorCommands::dispenseTimeFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // hh:mm:ss as the three fields show it
    QTest::addColumn<QString>("queued");
    QTest::newRow("75 s carries into the minutes") << "lineEditTimeSec"
                                                   << "75"
                                                   << "00:01:15"
                                                   << "13:11500";
    QTest::newRow("2 h is cut to 01:39:59") << "lineEditTimeHour"
                                            << "2"
                                            << "01:39:59"
                                            << "13:1395900";
    QTest::newRow("90 min carries into the hours") << "lineEditTimeMin"
                                                   << "90"
                                                   << "01:30:00"
                                                   << "13:1300000";
}

void tst_OperatorCommands::dispenseTimeFields()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, queued);

    auto *hours = rig->find<QLineEdit>("lineEditTimeHour");
    auto *minutes = rig->find<QLineEdit>("lineEditTimeMin");
    auto *seconds = rig->find<QLineEdit>("lineEditTimeSec");
    QVERIFY(hours && minutes && seconds);
    rig->stack.clear();
    WindowRig::type(rig->window.findChild<QLineEdit *>(field), typed);
    QCOMPARE(hours->text() + ':' + minutes->text() + ':' + seconds->text(), shown);
    QCOMPARE(rig->queued(), queued);
}

void tst_OperatorCommands::digitalInputExclusivity_data()
{
    // Steps: "comboDigInN=index" is the operator's choice, "pump:N=code" an update after the
    // pump reported that function for input N.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("lastQueued"); // what the last step queued
    QTest::addColumn<int>("input1");
    QTest::addColumn<int>("input2");

    QTest::newRow("level on 2 while 1 has edge resets 1 without a command")
        << QStringList{"comboDigIn1=2", "comboDigIn2=1"} << "27:1" << 0 << 1;
    QTest::newRow("edge on 1 while 2 has level resets 2 without a command")
        << QStringList{"comboDigIn2=1", "comboDigIn1=2"} << "25:6" << 2 << 0;
    QTest::newRow("reset on 2 keeps edge on 1")
        << QStringList{"comboDigIn1=2", "comboDigIn2=3"} << "27:8" << 2 << 3;
    QTest::newRow("1 back to OFF frees 2")
        << QStringList{"comboDigIn1=2", "comboDigIn1=0", "comboDigIn2=1"} << "27:1" << 0 << 1;
    QTest::newRow("edge reported by the pump on 1, level chosen on 2")
        << QStringList{"pump:1=6", "comboDigIn2=1"} << "27:1" << 0 << 1;
}

void tst_OperatorCommands::digitalInputExclusivity()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, lastQueued);
    QFETCH(int, input1);
    QFETCH(int, input2);

    auto *in1 = rig->find<QComboBox>("comboDigIn1");
    auto *in2 = rig->find<QComboBox>("comboDigIn2");
    QVERIFY(in1 && in2);
    rig->setRxState("0000");
    for (const QString &step : steps) {
        rig->stack.clear();
        if (step.startsWith(QLatin1String("pump:"))) {
            const bool first = step.at(5) == QLatin1Char('1');
            rig->report(first ? Id::GetDigitalIn1 : Id::GetDigitalIn2,
                        step.section(QLatin1Char('='), 1).toStdString());
            rig->window.triggerUpdateValues();
        } else {
            const QStringList parts = step.split(QLatin1Char('='));
            WindowRig::choose(rig->window.findChild<QComboBox *>(parts[0]), parts[1].toInt());
        }
    }
    QCOMPARE(rig->queued(), lastQueued);
    QCOMPARE(in1->currentIndex(), input1);
    QCOMPARE(in2->currentIndex(), input2);
    // The item of a reset input 1 holds OFF, so the next update does not bring its function back.
    if (input1 == 0)
        QCOMPARE(rig->window.itemForTests(Id::GetDigitalIn1)->value(), 0);
}

void tst_OperatorCommands::repeatedChoices_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QList<int>>("choices");
    QTest::addColumn<QString>("queued"); // everything the choices queued together

    QTest::newRow("the first output choice after start is sent")
        << "comboDigOut" << QList<int>{1} << "29:1";
    QTest::newRow("output: a different choice sends, the same again sends nothing")
        << "comboDigOut" << QList<int>{1, 2, 2} << "29:1 29:2";
    QTest::newRow("output: back and forth")
        << "comboDigOut" << QList<int>{0, 4, 0} << "29:0 29:4 29:0";
    QTest::newRow("same language twice sends once")
        << "comboLanguage" << QList<int>{3, 3} << "31:3";
    QTest::newRow("language changed back sends again")
        << "comboLanguage" << QList<int>{3, 5, 3} << "31:3 31:5 31:3";
    QTest::newRow("same calibration twice sends once")
        << "comboCalPercent" << QList<int>{155, 155} << "34:9550";
}

void tst_OperatorCommands::repeatedChoices()
{
    QFETCH(QString, combo);
    QFETCH(QList<int>, choices);
    QFETCH(QString, queued);

    auto *list = rig->window.findChild<QComboBox *>(combo);
    QVERIFY(list);
    rig->stack.clear();
    for (int index : choices)
        WindowRig::choose(list, index);
    QCOMPARE(rig->queued(), queued);
}

void tst_OperatorCommands::picksAgainstThePump_data()
{
    // Steps: "pick:N" chooses entry N; "pump:T" is the pump reporting T, shown by an update.
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("query");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("queued");
    auto row = [](const char *name, const char *combo, Id query, const QStringList &steps,
                  const char *queued) {
        QTest::newRow(name) << combo << BusinessLogic::toInt(query) << steps << queued;
    };
    row("output equal to the pump's sends nothing", "comboDigOut", Id::GetDigitalOut,
        {"pump:2", "pick:2"}, "");
    row("output changed at the keypad: the earlier pick sends again", "comboDigOut",
        Id::GetDigitalOut, {"pick:1", "pump:3", "pick:1"}, "29:1 29:1");
    row("language back after default values", "comboLanguage", Id::GetLanguage,
        {"pick:3", "pump:0", "pick:3"}, "31:3 31:3");
    row("calibration equal to the pump's 95.5 % sends nothing", "comboCalPercent",
        Id::GetCustCalPercent, {"pump:09550", "pick:155", "pick:156"}, "34:9560");
    row("pump model equal to the pump's sends nothing", "comboPumpModel", Id::GetPumpModel,
        {"pump:3", "pick:3"}, "");
}

void tst_OperatorCommands::picksAgainstThePump()
{
    QFETCH(QString, combo);
    QFETCH(int, query);
    QFETCH(QStringList, steps);
    QFETCH(QString, queued);
    rig->setRxState("0000");
    rig->stack.clear();
    for (const QString &step : steps) {
        const QString value = step.section(QLatin1Char(':'), 1);
        if (step.startsWith(QLatin1String("pump:"))) {
            rig->report(static_cast<Id>(query), value.toStdString());
            rig->window.triggerUpdateValues();
        } else {
            WindowRig::choose(rig->window.findChild<QComboBox *>(combo), value.toInt());
        }
    }
    QCOMPARE(rig->queued(), queued);
}

void tst_OperatorCommands::nextUpdateShowsWhatWasSent_data()
{
    QTest::addColumn<QString>("mode"); // as in launchedCommands
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("shown"); // list index, field text or check state 0/1
    auto row = [](const char *mode, const char *widget, const char *input, const char *shown) {
        QTest::newRow(widget + QByteArray(" ") + input + " " + mode)
            << mode << widget << input << shown;
    };
    row("ml", "lineEditVolume", "12.5", "12.50");
    row("ml/min", "lineEditVolume", "12.5", "12.50");
    row("pump:2", "lineEditVolume", "12.5", "12.50");
    row("", "lineEditTimeSec", "75", "15");
    row("", "lineEditCycles", "1000", "INF");
    row("", "lineEditBreakTimeSec", "125", "5");
    row("", "lineEditFactoryPumpStrokeVolume", "202.5", "202.50");
    row("", "comboCalPercent", "155", "155");
    row("", "comboPumpModel", "3", "3");
    row("", "comboDigOut", "1", "1");
    row("", "comboLanguage", "4", "4");
    row("", "comboAnalIn", "2", "2");
    row("", "comboDigIn1", "2", "2");
    row("", "comboDigIn2", "5", "5");
    row("", "comboTypeFluid", "3", "3");
    row("", "comboContrast", "55", "55");
    row("", "checkboAutostart", "", "1");
    row("", "checkboProtAnswer", "", "0");
    row("", "checkboFactoryMode", "", "1");
}

// Once the pump took it, the item holds what was sent, in the pump's units, so the next update
// shows the operator's value instead of flashing back to the pump's old one until the read-back.
// Refused, the pump's own value stays.
void tst_OperatorCommands::nextUpdateShowsWhatWasSent()
{
    QFETCH(QString, mode);
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QString, shown);
    QWidget *w = rig->window.findChild<QWidget *>(widget);
    rig->setRxState("0000");
    if (mode.startsWith(QLatin1String("pump:")))
        rig->report(Id::GetRunMode, mode.mid(5).toStdString());
    else if (!mode.isEmpty())
        QVERIFY(rig->pickRunMode(mode));
    rig->window.triggerUpdateValues();
    rig->stack.clear();
    const auto showing = [w] {
        if (auto *combo = qobject_cast<QComboBox *>(w))
            return QString::number(combo->currentIndex());
        if (auto *field = qobject_cast<QLineEdit *>(w))
            return field->text();
        return QString::number(qobject_cast<QCheckBox *>(w)->isChecked());
    };
    const QString before = showing();
    QVERIFY2(act(widget, input), qPrintable(widget));
    const QString sent = rig->queued();
    QCOMPARE(sent.count(QLatin1Char(':')), 1);
    rig->answerQueued(BusinessLogic::AnswerOutcome::Nak);
    w->clearFocus();
    rig->window.triggerUpdateValues();
    QCOMPARE(showing(), before);
    rig->stack.clear();
    QVERIFY2(act(widget, input), qPrintable(widget));
    QCOMPARE(rig->queued(), sent); // refused, so the same value goes again
    rig->answerQueued(BusinessLogic::AnswerOutcome::Answered);
    w->clearFocus();
    rig->window.triggerUpdateValues();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        QCOMPARE(QString::number(combo->currentIndex()), shown);
    else if (auto *field = qobject_cast<QLineEdit *>(w))
        QCOMPARE(field->text(), shown);
    else
        QCOMPARE(QString::number(qobject_cast<QCheckBox *>(w)->isChecked()), shown);
    QCOMPARE(rig->queued(), sent); // and the update sent nothing of its own
}

// What the operator sees of the run buttons after each of them: the button of the command given
// last lit, Start and Pause (which share one place) always alike; after Pause and Prime, Stop
// and Pause get their left corners squared, Start and Prime their right ones.
void tst_OperatorCommands::runButtonSheets_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("lit");
    QTest::addColumn<QStringList>("squared"); // Stop, Start, Pause, Prime: "left", "right", ""

    const QStringList none{"", "", "", ""};
    const QStringList pair{"left", "right", "left", "right"};
    QTest::newRow("start") << "buttonStart" << QStringList{"buttonStart", "buttonPause"} << none;
    QTest::newRow("stop") << "buttonStop" << QStringList{"buttonStop"} << none;
    QTest::newRow("pause squares the inner corners")
        << "buttonPause" << QStringList{"buttonStart", "buttonPause"} << pair;
    QTest::newRow("prime squares the inner corners")
        << "buttonPrime" << QStringList{"buttonPrime"} << pair;
}

void tst_OperatorCommands::runButtonSheets()
{
    QFETCH(QString, button);
    QFETCH(QStringList, lit);
    QFETCH(QStringList, squared);

    struct Look
    {
        const char *state;
        const char *lit;
        const char *normal;
    };
    const Look looks[] = {{"", "rgb(0,188,255)", "rgb(0,149,216)"},
                          {"hover", "rgba(0,188,255,75%)", "rgba(0,149,216,75%)"},
                          {"pressed", "rgba(0,188,255,40%)", "rgba(0,149,216,50%)"}};
    const QStringList corners{"top-left", "bottom-left", "top-right", "bottom-right"};
    const QStringList names{"buttonStop", "buttonStart", "buttonPause", "buttonPrime"};
    // Checks every button's sheet in every state, and the colour it is drawn in.
    const auto check = [&](const QStringList &litNow, const QStringList &squaredNow) {
        for (int i = 0; i < names.size(); ++i) {
            auto *w = rig->window.findChild<QPushButton *>(names[i]);
            QVERIFY(w);
            const SheetRules rules(w->styleSheet());
            QVERIFY2(rules.isValid(), qPrintable(w->styleSheet()));
            const bool on = litNow.contains(names[i]);
            for (const Look &look : looks) {
                const QString state = QString::fromLatin1(look.state);
                QCOMPARE(rules.value("QPushButton", "background-color", state),
                         QString(on ? look.lit : look.normal));
                // Every corner is square; a corner sheet says so again where two buttons meet.
                QStringList declaredSquare;
                for (const QString &corner : corners) {
                    QCOMPARE(rules.radius("QPushButton", corner, state), QString("0px"));
                    if (rules.declared("QPushButton", state)
                            .contains(QStringLiteral("border-%1-radius").arg(corner)))
                        declaredSquare << corner;
                }
                const QString side = squaredNow[i];
                QStringList expectedSquare;
                if (!side.isEmpty())
                    expectedSquare << "top-" + side << "bottom-" + side;
                QCOMPARE(declaredSquare, expectedSquare);
            }
            // Drawn: the padding inside the one-pixel border shows the background, wide enough
            // that the icon and text keep to the middle.
            w->resize(240, 80);
            const QImage drawn = w->grab().toImage();
            QCOMPARE(drawn.pixelColor(3, drawn.height() / 2),
                     on ? QColor(0, 188, 255) : QColor(0, 149, 216));
        }
    };

    check({}, {"", "", "", ""}); // as built: nothing lit, no corner sheet
    if (QTest::currentTestFailed())
        return;
    QTest::mouseClick(rig->window.findChild<QAbstractButton *>(button), Qt::LeftButton);
    check(lit, squared);
}

void tst_OperatorCommands::pumpSearchQueue()
{
    auto *address = rig->find<QComboBox>("comboCommAddress");
    QVERIFY(address);
    address->setCurrentIndex(5);
    rig->window.setDataUpdate();
    QVERIFY(rig->window.updateTimerForTests().isActive());
    rig->window.launchCmdStart(); // dropped by the search

    QTest::mouseClick(rig->find<QAbstractButton>("buttonSearchPump"), Qt::LeftButton);

    QStringList expected;
    for (int a = 0; a <= 98; ++a)
        expected << QStringLiteral("50:%1 46:1 43:0").arg(a);
    expected << QStringLiteral("50:5 43:0");
    QCOMPARE(rig->stack.queuedCount(), 299);
    QCOMPARE(rig->queued(), expected.join(QLatin1Char(' ')));
    QVERIFY(rig->allQueuedLogged());
    QVERIFY(!rig->window.updateTimerForTests().isActive());
    // Polling waits while the bus is searched.
    QVERIFY(rig->refresher.everyTick().empty());
    QVERIFY(rig->refresher.fast().empty());
    QVERIFY(rig->refresher.slow().empty());
}

void tst_OperatorCommands::advancedToggleTwice_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<bool>("noUpdate");
    QTest::newRow("I/O tab, no cyclic data ticked") << "TabIO" << true;
    QTest::newRow("communication tab, unticked") << "TabCommunication" << false;
    QTest::newRow("cycle tab, ticked") << "tabCyclic" << true;
}

void tst_OperatorCommands::advancedToggleTwice()
{
    QFETCH(QString, tab);
    QFETCH(bool, noUpdate);

    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    auto *box = rig->find<QCheckBox>("checkboNoDataUpdate");
    auto *advanced = rig->find<QAbstractButton>("buttonAdvanced");
    QVERIFY(tabs && box && advanced);
    QVERIFY(tabs->isHidden()); // the window starts compact
    rig->window.startUpdateTimer();

    QTest::mouseClick(advanced, Qt::LeftButton);
    QVERIFY(!tabs->isHidden());
    tabs->setCurrentWidget(rig->window.findChild<QWidget *>(tab));
    if (box->isChecked() != noUpdate)
        QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->isChecked(), noUpdate);

    QTest::mouseClick(advanced, Qt::LeftButton);
    QVERIFY(tabs->isHidden());
    QTest::mouseClick(advanced, Qt::LeftButton);
    QVERIFY(!tabs->isHidden());
    QCOMPARE(tabs->currentWidget()->objectName(), tab);
    QCOMPARE(box->isChecked(), noUpdate);
    // The restored tick stops the timer again; an unticked box leaves it running.
    QCOMPARE(rig->window.updateTimerForTests().isActive(), !noUpdate);
}

void tst_OperatorCommands::factoryGate_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("open");
    QTest::newRow("access code") << QStringList{"dosetta", "--QZW service gate"} << true;
    QTest::newRow("no argument") << QStringList{"dosetta"} << false;
    QTest::newRow("no program name either") << QStringList{} << false;
    QTest::newRow("other text") << QStringList{"dosetta", "--factory"} << false;
    QTest::newRow("case differs") << QStringList{"dosetta", "--qzw service gate"} << false;
    QTest::newRow("trailing blank") << QStringList{"dosetta", "--QZW service gate "} << false;
    QTest::newRow("code as second argument")
        << QStringList{"dosetta", "-x", "--QZW service gate"} << false;
}

void tst_OperatorCommands::factoryGate()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, open);
    QCOMPARE(mainForm::factoryGateOpen(arguments), open);
}

// ---------------------------------------------------------------------------------------------
// Link commands and the update timer

void tst_OperatorCommands::noCyclicDataKeepsTheTimerStopped()
{
    auto *box = rig->find<QCheckBox>("checkboNoDataUpdate");
    QVERIFY(box);
    rig->window.setDataUpdate();
    QVERIFY(rig->window.updateTimerForTests().isActive());
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QVERIFY(!rig->window.updateTimerForTests().isActive());
    QVERIFY(!rig->refresher.polling());

    QTest::mouseClick(rig->find<QAbstractButton>("buttonTestComm"), Qt::LeftButton);
    QCOMPARE(rig->queued(), QStringLiteral("50:0 43:0"));
    QVERIFY(!rig->window.updateTimerForTests().isActive());

    // Unticking restarts it at the slow rhythm: nothing has been heard from the pump yet.
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(rig->window.updateTimerForTests().isActive());
    QCOMPARE(rig->window.updateTimerForTests().interval(), 500);
}

void tst_OperatorCommands::communicationAddressIsStoredAndRestored()
{
    auto *address = rig->find<QComboBox>("comboCommAddress");
    QVERIFY(address);
    QCOMPARE(address->currentIndex(), 0);
    WindowRig::choose(address, 7);
    QCOMPARE(rig->queued(), QStringLiteral("50:7"));
    QCOMPARE(InstanceSettings().address(), 7);

    // The next start of the window selects it again and queues it first.
    rig.reset();
    rig = std::make_unique<WindowRig>();
    address = rig->find<QComboBox>("comboCommAddress");
    QCOMPARE(address->currentIndex(), 7);
    rig->window.startUp();
    // The check replaces the queue, so the address goes out once, right before it.
    QCOMPARE(rig->queued(), QStringLiteral("50:7 43:0"));
    rig->setRxState("0000");
    rig->window.triggerUpdateValues();
    QVERIFY2(rig->window.windowTitle().contains(QLatin1String("(ADDR 7, ")),
             qPrintable(rig->window.windowTitle()));
}

void tst_OperatorCommands::stressTest_data()
{
    // "before": receive state of an update before the first press; "between": of an update
    // between the presses ("" for none).
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("between");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("50 -> 10 -> 50 ms") << "0000"
                                       << "" << 10 << 50;
    QTest::newRow("link falls silent meanwhile: back to 500 ms") << "0000"
                                                                 << "0010" << 10 << 500;
    QTest::newRow("silent link: only restarts 500 ms") << "0010"
                                                       << "" << 500 << 500;
}

void tst_OperatorCommands::stressTest()
{
    QFETCH(QString, before);
    QFETCH(QString, between);
    QFETCH(int, first);
    QFETCH(int, second);

    auto *button = rig->find<QAbstractButton>("buttonStressTest");
    QVERIFY(button);
    QTimer &timer = rig->window.updateTimerForTests();
    rig->setRxState(before.toLatin1().constData());
    rig->window.triggerUpdateValues();
    rig->window.setDataUpdate();
    QCOMPARE(timer.interval(), before == QLatin1String("0000") ? 50 : 500);

    rig->window.launchCmdStart();
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), first);
    QCOMPARE(rig->stack.queuedCount(), 0);

    if (!between.isEmpty()) {
        rig->setRxState(between.toLatin1().constData());
        rig->window.triggerUpdateValues();
    }
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), second);
    QCOMPARE(rig->stack.queuedCount(), 0);
}

void tst_OperatorCommands::linkCommandsReplaceTheQueue_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("queued"); // after each of two actions
    QTest::newRow(" Incorrect LRC ticked, unticked") << "checkboIncorrectLRC"
                                                     << "" << QStringList{"51:1", "51:0"};
    QTest::newRow("Unused LRC ticked, unticked") << "checkboUnusedLRC"
                                                 << "" << QStringList{"52:1", "52:0"};
    QTest::newRow("pump address 12 twice") << "comboPumpAddress"
                                           << "12" << QStringList{"48:12", "48:12"};
    QTest::newRow("test button twice") << "buttonTestComm"
                                       << "" << QStringList{"50:0 43:0", "50:0 43:0"};
}

void tst_OperatorCommands::linkCommandsReplaceTheQueue()
{
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QStringList, queued);

    for (const QString &expected : queued) {
        // Whatever the operator and the poller had queued is dropped.
        rig->window.launchCmdStart();
        rig->window.launchCmdSetVolume();
        QVERIFY(act(widget, input));
        QCOMPARE(rig->queued(), expected);
        QVERIFY(rig->window.updateTimerForTests().isActive());
        QCOMPARE(rig->window.updateTimerForTests().interval(), 500);
    }
    if (widget == QLatin1String("comboPumpAddress")) {
        // The item takes the new address once the pump acknowledged it, not before.
        QVERIFY(rig->window.itemForTests(Id::GetPumpAddress)->value() != 12);
        rig->answerQueued(BusinessLogic::AnswerOutcome::Answered);
        QCOMPARE(rig->window.itemForTests(Id::GetPumpAddress)->value(), 12);
    }
}

QTEST_MAIN(tst_OperatorCommands)
#include "tst_operatorcommands.moc"
