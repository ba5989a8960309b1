// The window's widget tree as built: every widget of the screen with its class, container,
// text, list entries and grid cell; fonts, frames, sizes, sheets, images, the tab order and the
// tabs left once the Factory tab is removed.

#include "ImageMatch.h"
#include "SheetRules.h"

#include "BusinessLogic/LoggingCommandStack.h"
#include "program/ProgramRunner.h"
#include "pump/KeyTable.h"
#include "pumpcore/PumpCore.h"
#include "ui/MouseEventLineEdit.h"
#include "ui/mainForm.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

using Cell = QVector<int>; // row, column, row span, column span; empty: not in a grid

const QString unchecked = QStringLiteral("*");
const char greyBullet[] = ":/Images/Images/1406229026_bullet-grey.png";

// The nearest container with a name of our own (the toolkit names its inner widgets "qt_...").
QString containerOf(const QWidget *w)
{
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (!p->objectName().isEmpty() && !p->objectName().startsWith("qt_"))
            return p->objectName();
    }
    return QString();
}

QString textOf(QWidget *w, QTabWidget *tabs)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *t = qobject_cast<QTextEdit *>(w))
        return t->toPlainText();
    if (tabs->indexOf(w) >= 0)
        return tabs->tabText(tabs->indexOf(w));
    return QString();
}

QStringList entriesOf(QWidget *w)
{
    QStringList entries;
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        for (int i = 0; i < c->count(); ++i)
            entries << c->itemText(i);
    }
    return entries;
}

Cell cellOf(QWidget *w)
{
    QWidget *parent = w->parentWidget();
    auto *grid = parent ? qobject_cast<QGridLayout *>(parent->layout()) : nullptr;
    const int index = grid ? grid->indexOf(w) : -1;
    if (index < 0)
        return Cell();
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return Cell{row, column, rowSpan, columnSpan};
}

// Inner parts of a toolkit control (tab-bar scroll buttons, list viewports) are not ours.
bool insideAControl(const QWidget *w)
{
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<QTabBar *>(p) || qobject_cast<QComboBox *>(p) ||
            qobject_cast<QAbstractScrollArea *>(p))
            return true;
    }
    return false;
}

QColor centreColour(QWidget *w)
{
    const QImage image = w->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// Marks every text looked up in the window's translation context.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "mainScreen") != 0 || !sourceText || !*sourceText)
            return QString();
        return QStringLiteral("#") + QString::fromUtf8(sourceText);
    }
};

} // namespace

class tst_ScreenLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void widgetTree_data();
    void widgetTree();
    void everyWidgetIsListed();
    void window();
    void filledLists_data();
    void filledLists();
    void listsMatchTheKeyTable_data();
    void listsMatchTheKeyTable();
    void tabsWithoutFactory();
    void tabOrder();
    void fonts_data();
    void fonts();
    void backgrounds_data();
    void backgrounds();
    void frames_data();
    void frames();
    void sizes_data();
    void sizes();
    void entryBounds_data();
    void entryBounds();
    void styleSheets_data();
    void styleSheets();
    void sheetLooks_data();
    void sheetLooks();
    void runButtonColours_data();
    void runButtonColours();
    void listsScroll();
    void runModeMenu();
    void beforeFirstAnswer();
    void images_data();
    void images();
    void returnInAFieldClicksNoButton();
    void textsUseTheScreenContext();

private:
    template<class T = QWidget>
    T *find(const char *name) const
    {
        return form->findChild<T *>(QString::fromLatin1(name));
    }

    // Built by the window's helpers rather than by the form.
    bool addedInCode(const QWidget *w) const
    {
        static const QStringList marks{"labelRecordMark",       "labelNetMark",
                                       "labelRemoteMark",       "labelPumpState",
                                       "labelErrorBanner",      "labelProgramMark",
                                       "frameDispenseRate",     "lineEditDispenseRate",
                                       "labelDispenseRateUnit", "labelServiceDue"};
        for (const char *root :
             {"tabProgram", "tabJournal", "tabChart", "tabService", "groupNetwork"}) {
            const QWidget *r = find(root);
            if (w == r || r->isAncestorOf(w))
                return true;
        }
        return marks.contains(w->objectName());
    }

    std::unique_ptr<PumpCore> core;
    std::unique_ptr<ProgramRunner> runner;
    std::unique_ptr<mainForm> form;
};

// One window for all checks: building it takes a while, and none of them changes the tree.
void tst_ScreenLayout::initTestCase()
{
    core = std::make_unique<PumpCore>(PumpCore::Options{false});
    runner = std::make_unique<ProgramRunner>(*core);
    form = std::make_unique<mainForm>(*core, *runner);
}

void tst_ScreenLayout::cleanupTestCase()
{
    form.reset();
    runner.reset();
    core.reset();
}

// ---- the tree

namespace {

struct TreeRow
{
    const char *name;
    const char *className;
    const char *container;
    QString text;
    Cell cell;
    QStringList entries;
};

// Every widget of the screen, as the operator's documentation describes it.
QVector<TreeRow> screenTree()
{
    QVector<TreeRow> rows;
    auto row = [&rows](const char *name, const char *cls, const char *container,
                       const QString &text, Cell cell = Cell(),
                       const QStringList &entries = QStringList()) {
        rows.append(TreeRow{name, cls, container, text, cell, entries});
    };
    const QStringList filled{unchecked};

    // Window grid and header strip.
    row("informationPanel", "QFrame", "mainScreen", "", {0, 0, 1, 1});
    row("TabsExtendedSettings", "QTabWidget", "mainScreen", "", {0, 1, 1, 1});
    row("buttonAdvanced", "QPushButton", "mainScreen", "", {0, 2, 1, 1});
    row("frameLogo", "QFrame", "mainScreen", "", {1, 0, 1, 3});
    row("frame_6", "QFrame", "frameLogo", "", {0, 0, 1, 1});
    row("labelHW", "QLabel", "frame_6", "Pump type");
    row("labelVersionHW", "QLabel", "frame_6", "UNKNOWN");
    row("labelFW", "QLabel", "frame_6", "Firmware");
    row("labelVersionFW", "QLabel", "frame_6", "V1.000");
    row("companyLogo", "QLabel", "frameLogo", "", {0, 5, 1, 1});

    // Main screen.
    row("frameSettingValues", "QFrame", "informationPanel", "", {0, 0, 1, 1});
    row("frameButtonsPrimary", "QFrame", "informationPanel", "", {1, 0, 1, 1});
    row("frameStateFeedback", "QFrame", "informationPanel", "", {2, 0, 1, 1});
    row("frameTarget", "QFrame", "frameSettingValues", "", {0, 0, 1, 1});
    row("frameActual", "QFrame", "frameSettingValues", "", {1, 0, 1, 1});
    row("groupBoxTarget", "QGroupBox", "frameTarget", "Target");
    row("groupBoxEditVolFlow", "QGroupBox", "groupBoxTarget", "Flowrate", {0, 0, 1, 1});
    row("frameEditVolume", "FrameEventHandler", "groupBoxEditVolFlow", "");
    row("lineEditVolume", "MouseEventLineEdit", "frameEditVolume", "");
    row("frameMode", "FrameEventHandler", "groupBoxEditVolFlow", "");
    row("buttonMode", "QPushButton", "frameMode", "   ml/min   ");
    row("groupBoxDispenseTime", "QGroupBox", "groupBoxTarget", "Dispense Time", {1, 0, 1, 1});
    row("frameEditTime", "FrameEventHandler", "groupBoxDispenseTime", "");
    row("lineEditTimeHour", "MouseEventLineEdit", "frameEditTime", "0");
    row("lineEditTimeMin", "MouseEventLineEdit", "frameEditTime", "0");
    row("lineEditTimeSec", "MouseEventLineEdit", "frameEditTime", "0");
    row("labelTimeTargetUnitHours", "QLabel", "frameEditTime", "h");
    row("labelTimeTargetUnitMin", "QLabel", "frameEditTime", "min");
    row("labelTimeTargetUnitSec", "QLabel", "frameEditTime", "sec");
    row("groupBoxActual", "QGroupBox", "frameActual", "Actual");
    row("groupBoxTimeActual", "QGroupBox", "groupBoxActual", "Time elapsed");
    row("frameTimeActual", "QFrame", "groupBoxTimeActual", "");
    row("labelTimeActualHour", "QLabel", "frameTimeActual", "0");
    row("labelTimeActualUnitHour", "QLabel", "frameTimeActual", "h");
    row("labelTimeActualMin", "QLabel", "frameTimeActual", "0");
    row("labelTimeActualUnitMin", "QLabel", "frameTimeActual", "min");
    row("labelTimeActualSec", "QLabel", "frameTimeActual", "0");
    row("labelTimeActualUnitSec", "QLabel", "frameTimeActual", "sec");
    row("groupBoxVolumeActual", "QGroupBox", "groupBoxActual", "Volume");
    row("frameVolumeActual", "QFrame", "groupBoxVolumeActual", "");
    row("labelVolumeActual", "QLabel", "frameVolumeActual", " 0.000 ml");
    row("buttonStop", "QPushButton", "frameButtonsPrimary", "Stop   ", {0, 0, 1, 1});
    row("stackedButtonStartPause", "QStackedWidget", "frameButtonsPrimary", "", {0, 1, 1, 1});
    row("pageStart", "QWidget", "stackedButtonStartPause", "");
    row("buttonStart", "QPushButton", "pageStart", "Start    ");
    row("pagePause", "QWidget", "stackedButtonStartPause", "");
    row("buttonPause", "QPushButton", "pagePause", "Pause");
    row("buttonPrime", "QPushButton", "frameButtonsPrimary", "Prime", {1, 0, 1, 2});
    row("labelUserAction", "QLabel", "frameStateFeedback", "");
    row("labelTransmissionState", "QLabel", "frameStateFeedback", "");
    row("labelConnectionState", "QLabel", "frameStateFeedback", "");

    // Settings tab.
    row("TabAdvanced", "QWidget", "TabsExtendedSettings", "Settings");
    row("groupAdvanced", "QGroupBox", "TabAdvanced", "Additional Settings", {1, 0, 1, 2});
    row("buttonDefaults", "QPushButton", "TabAdvanced", " Default values", {2, 0, 1, 1});
    row("buttonMaintenancePos", "QPushButton", "TabAdvanced", "Maintenance", {3, 0, 1, 1});
    row("labelTypeFluid", "QLabel", "groupAdvanced", "Fluid type", {0, 0, 1, 1});
    row("comboTypeFluid", "QComboBox", "groupAdvanced", "", {0, 2, 1, 1},
        {"STANDARD", "DEGASSING", "VISCOSITY 100cSt", "VISCOSITY 500cSt"});
    row("labelLanguage", "QLabel", "groupAdvanced", "Language", {1, 0, 1, 1});
    row("comboLanguage", "QComboBox", "groupAdvanced", "", {1, 2, 1, 1},
        {"English", "German", "French", "Spanish", "Italian", "Chinese", "Japanese"});
    row("labelCalVolume", "QLabel", "groupAdvanced", "Calibration volume", {3, 0, 1, 1});
    row("frameCalibrationVolume", "FrameEventHandler", "groupAdvanced", "", {3, 2, 1, 1});
    row("lineEditCalVolume", "MouseEventLineEdit", "frameCalibrationVolume", "");
    row("labelUnit_ml_2", "QLabel", "frameCalibrationVolume", "ml");
    row("labelCalPercent", "QLabel", "groupAdvanced", "Calibration %", {4, 0, 1, 1});
    row("comboCalPercent", "QComboBox", "groupAdvanced", "", {4, 2, 1, 1}, filled);
    row("labelContrast", "QLabel", "groupAdvanced", "Contrast LCD", {5, 0, 1, 1});
    row("comboContrast", "QComboBox", "groupAdvanced", "", {5, 2, 1, 1}, filled);
    row("checkboAutostart", "QCheckBox", "groupAdvanced", "Auto start", {6, 0, 1, 1});

    // I/O tab.
    row("TabIO", "QWidget", "TabsExtendedSettings", "I/O");
    row("inOutGroup", "QGroupBox", "TabIO", "Inputs / Outputs");
    row("labelDigIn1", "QLabel", "inOutGroup", "Digital input 1", {0, 0, 1, 1});
    row("comboDigIn1", "QComboBox", "inOutGroup", "", {0, 1, 1, 1},
        {"OFF", "Level Start/Stop", "Edge Start/Stop"});
    row("labelDigIn2", "QLabel", "inOutGroup", "Digital input 2", {1, 0, 1, 1});
    row("comboDigIn2", "QComboBox", "inOutGroup", "", {1, 1, 1, 1},
        {"OFF", "Level Start/Stop", "Edge Start/Stop", "Reset", "Prime/Drain", "Reset & Prime"});
    row("labelAnalIn", "QLabel", "inOutGroup", "Analog input", {2, 0, 1, 1});
    row("comboAnalIn", "QComboBox", "inOutGroup", "", {2, 1, 1, 1},
        {"OFF", "0 .. 10 V", "0 .. 5 V", "0 .. 20 mA", "4 .. 20 mA"});
    row("labelDigOut", "QLabel", "inOutGroup", "Digital output", {3, 0, 1, 1});
    row("comboDigOut", "QComboBox", "inOutGroup", "", {3, 1, 1, 1},
        {"Alarm", "Motor ON", "Volume End", "6 Pulses per Rev.", "Pulse per 100ul"});

    // Cycle tab.
    row("tabCyclic", "QWidget", "TabsExtendedSettings", "Cycle");
    row("groupBoxCycles", "QGroupBox", "tabCyclic", "Cycles");
    row("frameCycles", "FrameEventHandler", "groupBoxCycles", "");
    row("lineEditCycles", "MouseEventLineEdit", "frameCycles", "0");
    row("labelCycles", "QLabel", "frameCycles", "Cycles");
    row("groupBoxPauseTime", "QGroupBox", "tabCyclic", "Pause time");
    row("frameBreakTime", "FrameEventHandler", "groupBoxPauseTime", "");
    row("lineEditBreakTimeMin", "MouseEventLineEdit", "frameBreakTime", "0");
    row("labelBreakTimeMin", "QLabel", "frameBreakTime", "min");
    row("lineEditBreakTimeSec", "MouseEventLineEdit", "frameBreakTime", "0");
    row("labelBreakTimeSec", "QLabel", "frameBreakTime", "sec");

    // Status tab: icon label left of its text, in pairs of columns.
    row("TabStatus", "QWidget", "TabsExtendedSettings", "Status");
    row("groupStatus", "QGroupBox", "TabStatus", "Status flags");
    row("groupFaults", "QGroupBox", "TabStatus", "Errors");
    struct Flag
    {
        const char *icon;
        const char *text;
        const char *label;
        const char *group;
        int row;
        int column;
    };
    const Flag flags[] = {
        {"labelMotorMotionIcon", "labelMotorMotionText", "Motor in Motion", "groupStatus", 1, 0},
        {"labelRunModeActiveIcon", "labelRunModeActiveText", "Run mode active", "groupStatus", 1,
         2},
        {"labelPumpFaultIcon", "labelPumpFaultText", "Pump error", "groupStatus", 1, 4},
        {"labelMotorAdjustedIcon", "labelMotorAdjustedText", "Motor adjusted", "groupStatus", 4, 0},
        {"labelDispenseModeActiveIcon", "labelDispenseModeActiveText", "Dispense mode active",
         "groupStatus", 4, 2},
        {"labelDisplayOnIcon", "labelDisplayOnText", "Display ON", "groupStatus", 4, 4},
        {"labelMotorLowerDCIcon", "labelMotorLowerDCText", "Motor at dead center", "groupStatus", 5,
         0},
        {"labelMasterStopActiveIcon", "labelMasterStopActiveText", "Master stop active",
         "groupStatus", 5, 2},
        {"labelInput1ActiveIcon", "labelInput1ActiveText", "Input 1 low/active", "groupStatus", 6,
         0},
        {"labelInput2ActiveIcon", "labelInput2ActiveText", "Input 2 low/active", "groupStatus", 6,
         2},
        {"labelErrorNoneIcon", "labelErrorNoneText", "No error", "groupFaults", 1, 0},
        {"labelError4_20mATooLowIcon", "labelError4_20mATooLowText", "Signal 4-20mA too low",
         "groupFaults", 1, 2},
        {"labelErrorOverpressureIcon", "labelErrorOverpressureText", "Overpressure", "groupFaults",
         3, 0},
        {"labelErrorPowerSupplyFailureIcon", "labelErrorPowerSupplyFailureText",
         "Power supply failure", "groupFaults", 3, 2},
        {"labelErrorMotorNotAdjIcon", "labelErrorMotorNotAdjText", "Motor not adjusted",
         "groupFaults", 4, 0},
        {"labelErrorMaxTempExceededIcon", "labelErrorMaxTempExceededText",
         "Maximum temperature exceeded", "groupFaults", 4, 2},
        {"labelErrorNoEncoderSignalIcon", "labelErrorNoEncoderSignalText", "No encoder signal",
         "groupFaults", 5, 0},
    };
    for (const Flag &f : flags) {
        row(f.icon, "QLabel", f.group, "", {f.row, f.column, 1, 1});
        row(f.text, "QLabel", f.group, f.label, {f.row, f.column + 1, 1, 1});
    }

    // Communication tab.
    row("TabCommunication", "QWidget", "TabsExtendedSettings", "Communication");
    row("groupComm", "QGroupBox", "TabCommunication", "Communication");
    row("messagesGroup", "QGroupBox", "TabCommunication", "Communication messages");
    row("labelCommuncationPort", "QLabel", "groupComm", "Communication port", {0, 0, 1, 1});
    row("listWidgetComPorts", "CommDialogue", "groupComm", unchecked, {0, 1, 1, 2});
    row("buttonUpdatePorts", "QPushButton", "groupComm", "Update Port Information", {0, 3, 1, 1});
    row("labelPumpAddress", "QLabel", "groupComm", "Communication Address", {1, 0, 1, 1});
    row("comboCommAddress", "QComboBox", "groupComm", "", {1, 1, 1, 1}, filled);
    row("checkboProtAnswer", "QCheckBox", "groupComm", "Protocol Answer", {1, 3, 1, 1});
    row("labelCommAddress", "QLabel", "groupComm", "Set pump address", {2, 0, 1, 1});
    row("comboPumpAddress", "QComboBox", "groupComm", "", {2, 1, 1, 1}, filled);
    row("buttonTestComm", "QPushButton", "groupComm", "Test", {2, 2, 1, 1});
    row("checkboUnusedLRC", "QCheckBox", "groupComm", "Unused LRC", {2, 3, 1, 1});
    row("labelLocatedAddress", "QLabel", "groupComm", "Located address", {3, 0, 1, 1});
    row("labelLocatedAddressIndicator", "QLabel", "groupComm", "NONE", {3, 1, 1, 1});
    row("buttonSearchPump", "QPushButton", "groupComm", "Search Pump", {3, 2, 1, 1});
    row("checkboIncorrectLRC", "QCheckBox", "groupComm", " Incorrect LRC", {3, 3, 1, 1});
    row("labelDiscreteCommand", "QLabel", "groupComm", "Command", {4, 0, 1, 1});
    row("lineEditDiscreteCommand", "QLineEdit", "groupComm", "", {4, 1, 1, 2});
    row("checkboNoDataUpdate", "QCheckBox", "groupComm", "No cyclic data", {4, 3, 1, 1});
    row("labelTxData", "QLabel", "messagesGroup", "Transmitted data with time stamp", {0, 0, 1, 1});
    row("textEditTxData", "QTextEdit", "messagesGroup", "", {1, 0, 1, 2});
    row("labelRxData", "QLabel", "messagesGroup", "Received data with time stamp", {0, 3, 1, 1});
    row("textEditRxData", "QTextEdit", "messagesGroup", "", {1, 3, 1, 2});
    row("checkboNoCyclicDataDisplay", "QCheckBox", "messagesGroup",
        "Do not display any cyclic data", {7, 0, 1, 1});
    row("buttonClearAll", "QPushButton", "messagesGroup", "Clear all", {7, 3, 1, 1});

    // Help and Factory tabs (the Factory tab is out of the tab bar, so its title is not shown).
    row("tabHelp", "QWidget", "TabsExtendedSettings", "Help");
    row("TabFactory", "QWidget", "TabsExtendedSettings", unchecked);
    row("statusPanel", "QFrame", "TabFactory", "", {0, 0, 1, 1});
    row("checkboFactoryMode", "QCheckBox", "statusPanel", "Factory Mode", {0, 0, 1, 2});
    row("labelFactoryPumpStrokeVolume", "QLabel", "statusPanel",
        "Factory calibration pump stroke volume [ul]", {2, 0, 1, 2});
    row("frame_4", "FrameEventHandler", "statusPanel", "", {2, 3, 1, 1});
    row("lineEditFactoryPumpStrokeVolume", "MouseEventLineEdit", "frame_4", "");
    row("labelFactoryCalVolume", "QLabel", "statusPanel", "Factory calibration volume [ml]",
        {3, 0, 1, 2});
    row("frame_3", "FrameEventHandler", "statusPanel", "", {3, 3, 1, 1});
    row("lineEditFactoryCalVolume", "MouseEventLineEdit", "frame_3", "");
    row("labelPumpType", "QLabel", "statusPanel", "Pump type", {5, 0, 1, 1});
    row("comboPumpModel", "QComboBox", "statusPanel", "", {5, 1, 1, 1},
        {"M10-A", "M10-B", "M02-A", "M02-B", "M10-C", "M02-C"});
    row("frame_5", "QFrame", "statusPanel", "", {5, 3, 1, 1});
    row("labelPumpModel", "QLabel", "frame_5", "");
    row("buttonStressTest", "QPushButton", "statusPanel", "Stress test of communication",
        {8, 2, 1, 2});
    return rows;
}

} // namespace

void tst_ScreenLayout::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<Cell>("cell");

    for (const TreeRow &r : screenTree())
        QTest::newRow(r.name) << r.name << r.className << r.container << r.text << r.entries
                              << r.cell;
}

void tst_ScreenLayout::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, container);
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    QFETCH(Cell, cell);

    const QList<QWidget *> found = form->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *w = found.first();
    auto *tabs = find<QTabWidget>("TabsExtendedSettings");
    QCOMPARE(QString(w->metaObject()->className()), className);
    QCOMPARE(containerOf(w), container);
    if (text != unchecked)
        QCOMPARE(textOf(w, tabs), text);
    if (entries != QStringList{unchecked})
        QCOMPARE(entriesOf(w), entries);
    if (!cell.isEmpty())
        QCOMPARE(cellOf(w), cell);
}

void tst_ScreenLayout::everyWidgetIsListed()
{
    // No stray or misspelt widget: every named widget of the form is in the tree above (the
    // Help tab's contents are added by the help set-up, the Chart tab and the recording mark by
    // the process data, the Network group and its marks by that group, the state line and the
    // error banner by their classes).
    QSet<QString> listed;
    for (const TreeRow &r : screenTree())
        listed.insert(r.name);
    QWidget *help = find("tabHelp");
    QVERIFY(find("tabChart"));
    QVERIFY(find("groupNetwork"));
    for (QWidget *w : form->findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith("qt_") || help->isAncestorOf(w) || insideAControl(w))
            continue;
        if (addedInCode(w))
            continue;
        QVERIFY2(listed.contains(name), qPrintable(name));
    }
}

void tst_ScreenLayout::window()
{
    QCOMPARE(form->objectName(), QString("mainScreen"));
    QCOMPARE(form->windowTitle(), QString("Halvo DOSETTA"));
    QCOMPARE(form->font().family(), QString("Arial"));
    QCOMPARE(form->font().pointSize(), 14);
    QCOMPARE(form->styleSheet(), QString("background-color: white;"));
    QVERIFY(form->hasMouseTracking());
    QVERIFY(!form->isSizeGripEnabled());
    QVERIFY(!form->windowIcon().isNull());
    auto *grid = qobject_cast<QGridLayout *>(form->layout());
    QVERIFY(grid);
    QCOMPARE(grid->horizontalSpacing(), 5);
    QCOMPARE(grid->verticalSpacing(), 0);
    QCOMPARE(grid->contentsMargins(), QMargins(5, 5, 5, 5));
    QCOMPARE(find<QStackedWidget>("stackedButtonStartPause")->currentWidget(), find("pageStart"));
    QCOMPARE(find("pageStart")->layout()->contentsMargins(), QMargins());
    QCOMPARE(find("pagePause")->layout()->contentsMargins(), QMargins());
}

void tst_ScreenLayout::filledLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entry");

    QTest::newRow("calibration %: first") << "comboCalPercent" << 401 << 0 << "80.0 %";
    QTest::newRow("calibration %: 95.5 at index 155")
        << "comboCalPercent" << 401 << 155 << "95.5 %";
    QTest::newRow("calibration %: 100.0 at index 200")
        << "comboCalPercent" << 401 << 200 << "100.0 %";
    QTest::newRow("calibration %: last") << "comboCalPercent" << 401 << 400 << "120.0 %";
    QTest::newRow("contrast: first") << "comboContrast" << 101 << 0 << "0 %";
    QTest::newRow("contrast: last") << "comboContrast" << 101 << 100 << "100 %";
    QTest::newRow("communication address: 0") << "comboCommAddress" << 100 << 0 << "0";
    QTest::newRow("communication address: 99 last") << "comboCommAddress" << 100 << 99 << "99";
    QTest::newRow("pump address: 0") << "comboPumpAddress" << 99 << 0 << "0";
    QTest::newRow("pump address: 98 last") << "comboPumpAddress" << 99 << 98 << "98";
}

void tst_ScreenLayout::filledLists()
{
    QFETCH(QString, name);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, entry);
    auto *combo = form->findChild<QComboBox *>(name);
    QVERIFY(combo);
    QCOMPARE(combo->count(), count);
    QCOMPARE(combo->itemText(index), entry);
}

// The command-line tool and remote clients take the window's entry texts: the key table must
// hold the same texts in the same order.
void tst_ScreenLayout::listsMatchTheKeyTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::newRow("language") << "comboLanguage"
                              << "language";
    QTest::newRow("fluid") << "comboTypeFluid"
                           << "fluid";
    QTest::newRow("digital input 1") << "comboDigIn1"
                                     << "digital-in1";
    QTest::newRow("digital input 2") << "comboDigIn2"
                                     << "digital-in2";
    QTest::newRow("digital output") << "comboDigOut"
                                    << "digital-out";
    QTest::newRow("analog input") << "comboAnalIn"
                                  << "analog-in";
}

void tst_ScreenLayout::listsMatchTheKeyTable()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    auto *combo = form->findChild<QComboBox *>(name);
    QVERIFY(combo);
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    QCOMPARE(texts, Pump::KeyTable::key(key).entries);
}

void tst_ScreenLayout::tabsWithoutFactory()
{
    auto *tabs = find<QTabWidget>("TabsExtendedSettings");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, (QStringList{"Settings", "I/O", "Cycle", "Status", "Communication", "Program",
                                  "Journal", "Chart", "Service", "Help"}));
    QCOMPARE(tabs->indexOf(find("TabFactory")), -1);
    QCOMPARE(tabs->currentWidget(), find("TabAdvanced"));
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("Settings"));
    QVERIFY(!tabs->tabsClosable());
}

void tst_ScreenLayout::tabOrder()
{
    const char *order[] = {"lineEditVolume",
                           "buttonMode",
                           "lineEditTimeHour",
                           "lineEditTimeMin",
                           "lineEditTimeSec",
                           "buttonPause",
                           "buttonStop",
                           "buttonPrime",
                           "TabsExtendedSettings",
                           "comboTypeFluid",
                           "comboLanguage",
                           "lineEditCalVolume",
                           "comboCalPercent",
                           "comboContrast",
                           "checkboAutostart",
                           "buttonDefaults",
                           "buttonMaintenancePos",
                           "comboDigIn1",
                           "comboDigIn2",
                           "comboAnalIn",
                           "comboDigOut",
                           "lineEditCycles",
                           "lineEditBreakTimeMin",
                           "lineEditBreakTimeSec",
                           "comboCommAddress",
                           "comboPumpAddress",
                           "buttonStart",
                           "buttonTestComm",
                           "lineEditDiscreteCommand",
                           "buttonSearchPump",
                           "checkboProtAnswer",
                           "checkboUnusedLRC",
                           "checkboIncorrectLRC",
                           "checkboNoDataUpdate",
                           "checkboNoCyclicDataDisplay",
                           "buttonClearAll",
                           "checkboFactoryMode",
                           "lineEditFactoryPumpStrokeVolume",
                           "lineEditFactoryCalVolume",
                           "comboPumpModel",
                           "buttonStressTest",
                           "buttonAdvanced"};
    // Following the focus chain from each of them, the next of them is its successor.
    QSet<QWidget *> listed;
    for (const char *name : order)
        listed.insert(find(name));
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget *from = find(order[i]);
        QWidget *expected = find(order[i + 1]);
        QVERIFY2(from && expected, order[i]);
        QWidget *next = from->nextInFocusChain();
        while (next != from && !listed.contains(next))
            next = next->nextInFocusChain();
        QVERIFY2(next == expected,
                 qPrintable(QString("after %1 comes %2, not %3")
                                .arg(order[i], next->objectName(), order[i + 1])));
    }
}

// ---- look

void tst_ScreenLayout::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<bool>("bold");

    // Widgets under style sheets are checked too: their fonts must not depend on when they were
    // first polished.
    const char *body[] = {"lineEditVolume",        "buttonMode",
                          "lineEditTimeHour",      "labelTimeTargetUnitHours",
                          "labelTimeActualHour",   "labelVolumeActual",
                          "labelUserAction",       "labelTypeFluid",
                          "lineEditCalVolume",     "checkboAutostart",
                          "labelDigIn1",           "lineEditCycles",
                          "labelCycles",           "labelMotorMotionText",
                          "labelCommuncationPort", "checkboProtAnswer",
                          "labelPumpType",         "lineEditFactoryCalVolume",
                          "TabsExtendedSettings"};
    for (const char *name : body)
        QTest::newRow(name) << name << 14 << false;
    for (const char *name : {"buttonStop", "buttonStart", "buttonPause", "buttonPrime"})
        QTest::newRow(name) << name << 18 << false;
    QTest::newRow("labelHW") << "labelHW" << 8 << false;
    QTest::newRow("labelVersionHW") << "labelVersionHW" << 8 << true;
    QTest::newRow("labelFW") << "labelFW" << 8 << false;
    QTest::newRow("labelVersionFW") << "labelVersionFW" << 8 << true;
    QTest::newRow("textEditTxData") << "textEditTxData" << 8 << false;
    QTest::newRow("textEditRxData") << "textEditRxData" << 8 << false;
    for (const char *name :
         {"labelTxData", "labelRxData", "checkboNoCyclicDataDisplay", "buttonClearAll"})
        QTest::newRow(name) << name << 10 << false;
    for (const char *name : {"groupBoxTarget", "groupBoxActual", "groupAdvanced", "groupComm"})
        QTest::newRow(name) << name << 18 << false;
    for (const char *name : {"groupBoxEditVolFlow", "groupBoxDispenseTime"})
        QTest::newRow(name) << name << 14 << false;
}

void tst_ScreenLayout::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, pointSize);
    QFETCH(bool, bold);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->font().family(), QString("Arial"));
    QCOMPARE(w->font().pointSize(), pointSize);
    QCOMPARE(w->font().bold(), bold);
}

void tst_ScreenLayout::backgrounds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");

    // White main screen, blue-grey advanced screen; the first tab page was built visible and
    // must not keep the look it had before the sheets were set.
    const QColor grey(240, 240, 240);
    for (const char *name : {"TabAdvanced", "labelTypeFluid", "checkboAutostart", "TabIO",
                             "labelDigIn1", "TabStatus", "labelMotorMotionText", "labelCycles",
                             "TabCommunication", "labelCommuncationPort", "labelPumpType"})
        QTest::newRow(name) << name << grey;
    QTest::newRow("frameTarget") << "frameTarget" << grey;
    QTest::newRow("informationPanel") << "informationPanel" << QColor(Qt::white);
    QTest::newRow("frameLogo") << "frameLogo" << QColor(Qt::white);
}

void tst_ScreenLayout::backgrounds()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->palette().color(QPalette::Window), colour);
}

void tst_ScreenLayout::frames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("shadow");
    QTest::addColumn<int>("lineWidth"); // -1: not fixed

    for (const char *name : {"frameEditVolume", "frameEditTime", "frameCalibrationVolume",
                             "frameBreakTime", "frameCycles"})
        QTest::newRow(name) << name << int(QFrame::Box) << int(QFrame::Plain) << 0;
    QTest::newRow("frameActual") << "frameActual" << int(QFrame::Panel) << int(QFrame::Raised)
                                 << -1;
    for (const char *name : {"frameTimeActual", "frameVolumeActual"})
        QTest::newRow(name) << name << int(QFrame::Panel) << int(QFrame::Sunken) << -1;
    for (const char *name : {"frameSettingValues", "frameButtonsPrimary", "frameStateFeedback",
                             "frame_3", "frame_4", "frame_5", "frame_6"})
        QTest::newRow(name) << name << int(QFrame::StyledPanel) << int(QFrame::Raised) << -1;
    QTest::newRow("frameMode") << "frameMode" << int(QFrame::StyledPanel) << int(QFrame::Raised)
                               << 1;
    for (const char *name : {"frameLogo", "informationPanel", "statusPanel"})
        QTest::newRow(name) << name << int(QFrame::NoFrame) << int(QFrame::Plain) << -1;
}

void tst_ScreenLayout::frames()
{
    QFETCH(QString, name);
    QFETCH(int, shape);
    QFETCH(int, shadow);
    QFETCH(int, lineWidth);
    auto *frame = form->findChild<QFrame *>(name);
    QVERIFY(frame);
    QCOMPARE(int(frame->frameShape()), shape);
    QCOMPARE(int(frame->frameShadow()), shadow);
    if (lineWidth >= 0)
        QCOMPARE(frame->lineWidth(), lineWidth);
}

void tst_ScreenLayout::sizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");

    auto row = [](const char *name, const char *property, const QVariant &value) {
        QTest::addRow("%s %s", name, property) << name << property << value;
    };
    row("buttonStop", "minimumWidth", 180);
    row("buttonPrime", "minimumHeight", 50);
    row("frameMode", "maximumWidth", 100);
    row("frameEditTime", "minimumWidth", 200);
    for (const char *name : {"lineEditTimeHour", "lineEditTimeMin", "lineEditTimeSec"})
        row(name, "minimumWidth", 35);
    row("labelTimeTargetUnitHours", "minimumWidth", 25);
    row("labelTimeTargetUnitMin", "minimumWidth", 35);
    row("labelTimeTargetUnitSec", "minimumWidth", 35);
    for (const char *name : {"labelTimeActualHour", "labelTimeActualMin", "labelTimeActualSec"})
        row(name, "minimumWidth", 25);
    row("labelTimeActualUnitMin", "minimumWidth", 35);
    row("labelTimeActualUnitSec", "minimumWidth", 35);
    // Room for the widest volume the pump reports, 99999.999 ml, from the start of a run.
    row("frameVolumeActual", "minimumWidth", 140);
    row("frameVolumeActual", "maximumWidth", 140);
    row("labelVolumeActual", "alignment", int(Qt::AlignRight | Qt::AlignVCenter));
    row("labelVersionHW", "maximumHeight", 20);
    row("labelVersionFW", "maximumHeight", 20);
    row("companyLogo", "maximumSize", QSize(100, 50));
    row("companyLogo", "margin", 10);
    row("companyLogo", "scaledContents", true);
    row("buttonDefaults", "maximumWidth", 200);
    row("buttonMaintenancePos", "minimumWidth", 200);
    row("listWidgetComPorts", "maximumHeight", 30);
    row("lineEditBreakTimeMin", "minimumWidth", 25);
    row("lineEditBreakTimeSec", "minimumWidth", 25);
    row("groupBoxCycles", "geometry", QRect(10, 20, 191, 74));
    row("groupBoxPauseTime", "geometry", QRect(10, 100, 191, 74));
    row("buttonAdvanced", "iconSize", QSize(32, 32));
    row("buttonAdvanced", "flat", false);
    for (const char *name : {"buttonStop", "buttonStart", "buttonPause", "buttonPrime"}) {
        row(name, "iconSize", QSize(32, 32));
        row(name, "focusPolicy", int(Qt::StrongFocus));
    }
    row("textEditTxData", "readOnly", true);
    row("textEditRxData", "readOnly", true);
    row("textEditTxData", "focusPolicy", int(Qt::NoFocus));
    row("textEditRxData", "focusPolicy", int(Qt::NoFocus));
    row("groupFaults", "focusPolicy", int(Qt::NoFocus));
    row("labelUserAction", "wordWrap", true);
    row("lineEditVolume", "alignment", int(Qt::AlignRight | Qt::AlignVCenter));
    row("lineEditVolume", "mouseTracking", true);
    row("groupBoxEditVolFlow", "alignment", int(Qt::AlignLeft));
    // The form leaves it unticked; the window ticks it once it is built.
    row("checkboProtAnswer", "checked", true);
    row("checkboNoCyclicDataDisplay", "checked", true);
}

void tst_ScreenLayout::sizes()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    QVariant actual = w->property(qPrintable(property));
    QVERIFY(actual.isValid());
    if (actual.userType() != value.userType())
        QVERIFY(actual.convert(value.userType()));
    // A group-box title has only a horizontal alignment.
    if (property == "alignment" && qobject_cast<QGroupBox *>(w))
        actual = int(actual.toInt() & Qt::AlignHorizontal_Mask);
    QCOMPARE(actual, value);
}

void tst_ScreenLayout::entryBounds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");

    QTest::newRow("volume or flow set-point") << "lineEditVolume" << 1.0 << 999.9;
    for (const char *name : {"lineEditTimeHour", "lineEditTimeMin", "lineEditTimeSec"})
        QTest::newRow(name) << name << -1.0 << 60.0;
    QTest::newRow("cycles") << "lineEditCycles" << 0.0 << 1000.0;
    for (const char *name : {"lineEditCalVolume", "lineEditBreakTimeMin", "lineEditBreakTimeSec",
                             "lineEditFactoryCalVolume", "lineEditFactoryPumpStrokeVolume"})
        QTest::newRow(name) << name << 1.0 << 100.0;
}

void tst_ScreenLayout::entryBounds()
{
    QFETCH(QString, name);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    auto *field = form->findChild<MouseEventLineEdit *>(name);
    QVERIFY(field);
    QCOMPARE(field->minimum, minimum);
    QCOMPARE(field->maximum, maximum);
}

void tst_ScreenLayout::styleSheets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sheet");

    for (const char *name : {"frameCycles", "frameBreakTime"})
        QTest::addRow("cycle tab frame sheet on %s", name)
            << name << "border-color: rgb(250,250,250);";
    for (const char *name : {"labelUserAction", "labelTransmissionState", "labelConnectionState"})
        QTest::newRow(name) << name << "color: rgb(0,149,216)";
    for (const char *name :
         {"labelTimeTargetUnitHours", "labelTimeTargetUnitMin", "labelTimeTargetUnitSec"})
        QTest::newRow(name) << name << "background-color: rgb(240,240,240);";
}

void tst_ScreenLayout::styleSheets()
{
    QFETCH(QString, name);
    QFETCH(QString, sheet);
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    // A frame shows the focused sheet while its field has the focus.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    QCOMPARE(w->styleSheet(), sheet);
}

namespace {

// One value a sheet must put in effect; the property "corners" stands for all four radii.
struct SheetValue
{
    QString selector;
    QString state;
    QString property;
    QString value;
};

// The values in effect that differ from the expected ones, as "selector:state property: value
// (expected ...)"; empty when all match.
QStringList sheetMismatches(const QString &sheet, const QVector<SheetValue> &expected)
{
    const SheetRules rules(sheet);
    if (!rules.isValid())
        return {QStringLiteral("unreadable sheet: ") + sheet};
    QStringList wrong;
    for (const SheetValue &e : expected) {
        QStringList actual;
        if (e.property == QLatin1String("corners")) {
            for (const char *corner : {"top-left", "top-right", "bottom-left", "bottom-right"})
                actual << rules.radius(e.selector, corner, e.state);
            actual.removeDuplicates();
        } else {
            actual << rules.value(e.selector, e.property, e.state);
        }
        if (actual != QStringList{e.value})
            wrong << QStringLiteral("%1:%2 %3: %4 (expected %5)")
                         .arg(e.selector, e.state, e.property, actual.join(QLatin1Char('/')),
                              e.value);
    }
    return wrong;
}

// The run buttons' and the mode button's common sheet, in the normal, hover and pressed
// states, each with its background colour.
QVector<SheetValue> buttonLook(const QStringList &backgrounds)
{
    const QString button = QStringLiteral("QPushButton");
    const QStringList states{QString(), "hover", "pressed"};
    QVector<SheetValue> look;
    for (int i = 0; i < states.size(); ++i) {
        const QString &state = states[i];
        look << SheetValue{button, state, "background-color", backgrounds[i]}
             << SheetValue{button, state, "font-family", "\"Arial\""}
             << SheetValue{button, state, "border",
                           state == "pressed" ? "2px inset grey" : "1px outset grey"}
             << SheetValue{button, state, "corners", "0px"}
             << SheetValue{button, state, "padding", "5px"};
    }
    look << SheetValue{"QPushButton::menu-indicator", QString(), "background-color",
                       "rgb(0,149,216)"};
    return look;
}

QVector<SheetValue> expectedLook(const QString &look)
{
    if (look == QLatin1String("run button"))
        return buttonLook({"rgb(0,149,216)", "rgba(0,149,216,75%)", "rgba(0,149,216,50%)"});
    if (look == QLatin1String("mode button"))
        return buttonLook({"rgb(0,149,216)", "rgb(0,149,216)", "rgb(0,149,216)"});
    if (look == QLatin1String("tabs"))
        return {{"", "", "background-color", "rgb(240,240,240)"},
                {"", "", "font-family", "\"Arial\""}};
    if (look == QLatin1String("unfocused frame"))
        return {{"FrameEventHandler", "", "border-style", "solid"},
                {"FrameEventHandler", "", "border-width", "2px"},
                {"FrameEventHandler", "", "border-color", "transparent"},
                {"FrameEventHandler", "", "background-color", "rgb(240,240,240)"}};
    if (look == QLatin1String("menu"))
        return {{"QMenu", "", "background-color", "rgba(0,188,255,100%)"},
                {"QMenu", "", "font", "14pt \"Arial\""},
                {"QMenu::item", "selected", "background-color", "rgba(0,188,255,25%)"}};
    if (look == QLatin1String("control"))
        return {
            {"*", "", "font", "14pt \"Arial\""},
            {"*", "", "border", "1px outset grey"},
            {"*", "", "background-color", "rgb(240,240,240)"},
            {"*", "", "corners", "0px"},
            {"*", "", "padding", "5px"},
            {"*", "hover", "background-color", "rgb(248,248,248)"},
            {"*", "pressed", "border", "2px inset grey"},
            {"*", "pressed", "background-color", "rgb(250,250,250)"},
            {"*", "selected", "border", "2px inset grey"},
            {"*", "selected", "background-color", "rgb(248,248,248)"},
            {"QComboBox::drop-down", "", "background-color", "rgb(240,240,240)"},
            {"QComboBox::drop-down", "", "subcontrol-position", "center right"},
            {"QComboBox::drop-down", "", "right", "2px"},
            {"QComboBox::down-arrow", "", "image", "url(:/Images/Images/arrow_sans_down-256.png)"},
            {"QComboBox::down-arrow", "", "width", "24px"},
            {"QComboBox::down-arrow", "", "height", "24px"},
            {"QScrollBar", "vertical", "width", "24px"},
            {"QScrollBar", "vertical", "background", "transparent"},
            {"QScrollBar", "vertical", "border", "1px solid grey"},
            {"QScrollBar", "vertical", "margin", "24px 0px 24px 0px"},
            {"QScrollBar::handle", "vertical", "background", "rgb(0,149,216)"},
            {"QScrollBar::handle", "vertical", "min-height", "40px"},
            {"QScrollBar::sub-line", "vertical", "background", "rgb(212,208,200)"},
            {"QScrollBar::add-line", "vertical", "background", "rgb(212,208,200)"},
            {"QScrollBar::add-line", "vertical", "width", "23px"},
            {"QScrollBar::add-line", "vertical", "height", "22px"},
            {"QScrollBar::up-arrow", "vertical", "image",
             "url(:/Images/Images/arrow_sans_up-256.png)"},
            {"QScrollBar::add-page", "vertical", "background", "rgb(240,240,240)"},
            {"QAbstractItemView", "", "margin", "0px"},
            {"QAbstractItemView", "", "padding-right", "2px"}};
    return {};
}

} // namespace

// The longer sheets, read for the values they put in effect rather than compared as text.
void tst_ScreenLayout::sheetLooks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("look");

    for (const char *name :
         {"buttonTestComm", "buttonStressTest", "buttonSearchPump", "buttonDefaults",
          "buttonMaintenancePos", "buttonUpdatePorts", "comboTypeFluid", "comboCalPercent",
          "comboCommAddress", "comboContrast", "comboDigIn1", "comboDigIn2", "comboAnalIn",
          "comboDigOut", "comboLanguage", "comboPumpAddress", "comboPumpModel"})
        QTest::addRow("control sheet on %s", name) << name << "control";
    for (const char *name : {"buttonStop", "buttonStart", "buttonPause", "buttonPrime"})
        QTest::addRow("run button sheet on %s", name) << name << "run button";
    QTest::newRow("button base alone on buttonMode") << "buttonMode"
                                                     << "mode button";
    QTest::newRow("tab sheet") << "TabsExtendedSettings"
                               << "tabs";
    for (const char *name : {"frameEditVolume", "frameMode", "frameEditTime",
                             "frameCalibrationVolume", "frame_3", "frame_4"})
        QTest::addRow("unfocused frame sheet on %s", name) << name << "unfocused frame";
}

void tst_ScreenLayout::sheetLooks()
{
    QFETCH(QString, name);
    QFETCH(QString, look);
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    // A frame shows the focused sheet while its field has the focus.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    const QStringList wrong = sheetMismatches(w->styleSheet(), expectedLook(look));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
}

void tst_ScreenLayout::runButtonColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");

    // As built nothing is lit: every run button and the mode button in the normal colour.
    for (const char *name :
         {"buttonStop", "buttonStart", "buttonPause", "buttonPrime", "buttonMode"})
        QTest::newRow(name) << name << QColor(0, 149, 216);
}

void tst_ScreenLayout::runButtonColours()
{
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    QWidget *w = form->findChild<QWidget *>(name);
    QVERIFY(w);
    // Drawn, not compared as text: the window's sheet must actually paint a button in that
    // colour (on a bare button, so that no icon or text covers the middle).
    QPushButton button;
    button.resize(120, 48);
    button.setStyleSheet(w->styleSheet());
    QCOMPARE(centreColour(&button), colour);
}

void tst_ScreenLayout::listsScroll()
{
    // Open lists scroll with the sheet's scroll bar: 401 calibration steps do not fit a menu.
    auto *percent = find<QComboBox>("comboCalPercent");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    find<QTabWidget>("TabsExtendedSettings")->setCurrentWidget(find("TabAdvanced"));
    percent->showPopup();
    QTRY_VERIFY(percent->view()->isVisible());
    QVERIFY(percent->view()->verticalScrollBar()->isVisible());
    QVERIFY(percent->view()->height() < 600);
    percent->hidePopup();
}

void tst_ScreenLayout::runModeMenu()
{
    auto *mode = find<QPushButton>("buttonMode");
    QMenu *menu = mode->menu();
    QVERIFY(menu);
    QVERIFY(!menu->parent());
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions().at(0)->text(), QString("ml/min"));
    QCOMPARE(menu->actions().at(1)->text(), QString("ml"));
    const QStringList wrong = sheetMismatches(menu->styleSheet(), expectedLook("menu"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
}

void tst_ScreenLayout::beforeFirstAnswer()
{
    // Every status and error bullet starts grey.
    const QImage grey(greyBullet);
    int bullets = 0;
    for (QLabel *label : form->findChildren<QLabel *>()) {
        if (!label->objectName().endsWith("Icon"))
            continue;
        ++bullets;
        const QPixmap shown = label->pixmap(Qt::ReturnByValue);
        QVERIFY(!shown.isNull());
        QVERIFY2(ImageMatch::same(shown.toImage(), grey), qPrintable(label->objectName()));
    }
    QCOMPARE(bullets, 17);
    QVERIFY(find<QTextEdit>("textEditTxData")->document()->isEmpty());
    QVERIFY(find<QTextEdit>("textEditRxData")->document()->isEmpty());
    // Each traffic view keeps its last 500 paragraphs.
    QCOMPARE(find<QTextEdit>("textEditTxData")->document()->maximumBlockCount(), 500);
    QCOMPARE(find<QTextEdit>("textEditRxData")->document()->maximumBlockCount(), 500);
}

// ---- images

void tst_ScreenLayout::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("minimumSide");

    const QString dir = ":/Images/Images/";
    QTest::newRow("window icon") << dir + "Halvo_icon_2.ico" << 16;
    QTest::newRow("logo") << dir + "Halvo LOGO_CMYK_small.png" << 100;
    for (const char *file : {"controls_stop-512.png", "519570-066_Play-512.png",
                             "519571-067_Pause-512.png", "controls_fast_forward-512.png"})
        QTest::newRow(file) << dir + file << 64;
    for (const char *file : {"1406229026_bullet-grey.png", "1406229038_bullet-green.png",
                             "arrow-37-64.png", "arrow-102-64.png"})
        QTest::newRow(file) << dir + file << 48;
    for (const char *file : {"arrow_sans_up-256.png", "arrow_sans_down-256.png"})
        QTest::newRow(file) << dir + file << 48;
}

void tst_ScreenLayout::images()
{
    QFETCH(QString, path);
    QFETCH(int, minimumSide);
    // Large enough for the 32 px icons at 200 % scale, and not blank.
    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QVERIFY(qMin(image.width(), image.height()) >= minimumSide);
    QVERIFY(image.hasAlphaChannel());
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            drawn += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
    }
    QVERIFY(drawn > image.width() * image.height() / 20);
    if (path.endsWith(".ico")) {
        // A real icon file with several sizes, not a renamed PNG.
        QCOMPARE(QImageReader::imageFormat(path), QByteArray("ico"));
        QVERIFY(QImageReader(path).imageCount() >= 4);
    }
}

// ---- behaviour of the built form

void tst_ScreenLayout::returnInAFieldClicksNoButton()
{
    // In a dialog, Return would click the default button; none of ours may fire by accident.
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QList<QSignalSpy *> spies;
    for (QPushButton *button : form->findChildren<QPushButton *>()) {
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
        spies << new QSignalSpy(button, &QPushButton::clicked);
    }
    for (const char *name : {"lineEditVolume", "lineEditCalVolume", "lineEditDiscreteCommand"}) {
        auto *field = form->findChild<QLineEdit *>(name);
        field->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_Return);
    }
    for (QSignalSpy *spy : spies)
        QCOMPARE(spy->count(), 0);
    qDeleteAll(spies);
}

void tst_ScreenLayout::textsUseTheScreenContext()
{
    // With a translator for the context "mainScreen" every visible text of the form changes.
    cleanupTestCase();
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    initTestCase();
    QCoreApplication::removeTranslator(&translator);

    int marked = 0;
    for (QWidget *w : form->findChildren<QWidget *>()) {
        if (w->objectName().startsWith("qt_") || w->objectName().isEmpty())
            continue;
        const QString text = textOf(w, find<QTabWidget>("TabsExtendedSettings"));
        if (!text.isEmpty() && !qobject_cast<QTextEdit *>(w) && !qobject_cast<QListWidget *>(w)) {
            QVERIFY2(text.startsWith('#'), qPrintable(w->objectName() + ": " + text));
            // Only the form's own texts are counted against the tree (see everyWidgetIsListed).
            marked += addedInCode(w) ? 0 : 1;
        }
        for (const QString &entry : entriesOf(w)) {
            const bool number = QRegularExpression("^\\d+$").match(entry).hasMatch();
            QVERIFY2(number || entry.startsWith('#'), qPrintable(w->objectName() + ": " + entry));
        }
    }
    int texts = 0;
    for (const TreeRow &r : screenTree())
        texts += !r.text.isEmpty() && r.text != unchecked ? 1 : 0;
    QCOMPARE(marked, texts);
    QCOMPARE(form->windowTitle(), QString("#Halvo DOSETTA"));
    QCOMPARE(find<QPushButton>("buttonMode")->menu()->actions().at(1)->text(), QString("#ml"));
}

QTEST_MAIN(tst_ScreenLayout)
#include "tst_screenlayout.moc"
