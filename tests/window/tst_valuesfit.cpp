// Every value the pump can report fits the widget that shows it. Each row feeds the polled items
// their widest answers and runs the display update; then every visible label, field, list and
// button of the compact screen and of each tab (the Factory tab included) must have room for its
// whole text. CTest runs this once more at 200 % (QT_SCALE_FACTOR=2), where the fonts are laid
// out at twice the resolution.

#include "WindowRig.h"
#include "platform/InstanceSettings.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <utility>
#include <vector>

using Id = BusinessLogic::CommandSpezifier;

namespace {

// The program's command line, with the access code that adds the Factory tab.
int appArgc = 2;
char accessCode[] = "--QZW service gate";
char *appArgv[3] = {nullptr, accessCode, nullptr};

// What a widget needs and what it has for its text, in device-independent pixels.
struct Room
{
    QString text;
    int needed = 0;
    int available = 0;
};

// Toolkit parts inside a control (a list's view, the tab bar's scroll buttons) are not ours.
bool insideAControl(const QWidget *w)
{
    for (QWidget *p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        if (qobject_cast<QTabBar *>(p) || qobject_cast<QComboBox *>(p) ||
            qobject_cast<QAbstractScrollArea *>(p))
            return true;
    }
    return false;
}

int advance(const QWidget *w, const QString &text)
{
    return QFontMetrics(w->font()).horizontalAdvance(text);
}

// A label paints inside its contents rectangle (frame, border and padding of its sheet already
// taken off) less its margin, and less its indent on the aligned side.
Room labelRoom(const QLabel *label)
{
    int available = label->contentsRect().width() - 2 * label->margin();
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0)
        indent = QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('x')) / 2;
    if (indent > 0 && (label->alignment() & (Qt::AlignLeft | Qt::AlignRight)))
        available -= indent;
    return {label->text(), advance(label, label->text()), available};
}

// A field scrolls its text unless the text, the one-pixel cursor and the glyphs' overhangs fit
// between its frame, its text margins and the two pixels the field keeps on either side.
Room lineEditRoom(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    const int available = contents.width() - margins.left() - margins.right() - 2 * 2;
    const QFontMetrics metrics(edit->font());
    const int needed = qMax(0, -metrics.minLeftBearing()) +
                       metrics.horizontalAdvance(edit->text()) + 1 +
                       qMax(0, -metrics.minRightBearing());
    return {edit->text(), needed, available};
}

// A list shows the pump's value as its current entry, and any entry can be reported: its widest
// entry must fit the edit field beside the drop-down button (one pixel kept on either side).
Room comboRoom(const QComboBox *combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    option.iconSize = combo->iconSize();
    Room room;
    for (int i = 0; i < combo->count(); ++i) {
        const int width = advance(combo, combo->itemText(i)) + 2;
        if (width > room.needed) {
            room.needed = width;
            room.text = combo->itemText(i);
        }
    }
    option.currentText = room.text;
    room.available =
        combo->style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
            .width();
    return room;
}

// A button centres its text (the blanks around it show nothing) beside its icon and, when it
// opens a menu, left of the menu indicator; a check box writes it beside its box.
Room buttonRoom(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    const QStyle *style = button->style();
    const QString text = button->text().trimmed();
    int needed = advance(button, text);
    if (qobject_cast<const QCheckBox *>(button) != nullptr)
        return {text, needed,
                style->subElementRect(QStyle::SE_CheckBoxContents, &option, button).width()};
    const auto *push = qobject_cast<const QPushButton *>(button);
    const bool menu = push != nullptr && push->menu() != nullptr;
    if (menu)
        option.features |= QStyleOptionButton::HasMenu;
    int available = style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    if (!button->icon().isNull())
        needed += button->iconSize().width() + 4;
    if (menu)
        available -= style->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, button);
    return {text, needed, available};
}

// Every visible widget with a text of its own under root, and the room it has for it; a label
// that wraps its words does not cut them.
std::vector<std::pair<QWidget *, Room>> roomsUnder(QWidget *root)
{
    std::vector<std::pair<QWidget *, Room>> rooms;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisible() || insideAControl(w))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->text().isEmpty() && !label->wordWrap())
                rooms.emplace_back(w, labelRoom(label));
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            if (!edit->text().isEmpty())
                rooms.emplace_back(w, lineEditRoom(edit));
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            if (combo->count() > 0)
                rooms.emplace_back(w, comboRoom(combo));
        } else if (qobject_cast<QPushButton *>(w) || qobject_cast<QCheckBox *>(w)) {
            auto *button = static_cast<QAbstractButton *>(w);
            if (!button->text().trimmed().isEmpty())
                rooms.emplace_back(w, buttonRoom(button));
        }
    }
    return rooms;
}

// "widget: 'text' needs N px, has M px" for every text that does not fit.
QStringList cutOff(QWidget *root, const QString &where)
{
    // Layouts run, and a window that grew to its new minimum size reports its new geometry,
    // from the event loop (the headless platform delivers it there at once): until the window
    // keeps its size over a round.
    QSize last;
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        const QSize size = root->window()->size();
        if (round >= 2 && size == last)
            break;
        last = size;
    }
    QStringList faults;
    for (const auto &[w, room] : roomsUnder(root)) {
        if (room.needed > room.available)
            faults << QStringLiteral("%1 (%2): '%3' needs %4 px, has %5 px")
                          .arg(w->objectName(), where, room.text)
                          .arg(room.needed)
                          .arg(room.available);
    }
    return faults;
}

// One answer for a polled item, as "query id=answer text".
using Reports = QVector<QPair<int, QString>>;

} // namespace

Q_DECLARE_METATYPE(Reports)

class tst_ValuesFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widestValues_data();
    void widestValues();

private:
    std::unique_ptr<WindowRig> rig;
};

void tst_ValuesFit::initTestCase()
{
    // The 200 % run must really be scaled, or it checks nothing new.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    WindowRig probe;
    probe.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&probe.window));
    QCOMPARE(probe.window.devicePixelRatioF(), scale);
}

void tst_ValuesFit::init()
{
    InstanceSettings().setAddress(1);
    rig = std::make_unique<WindowRig>();
}

void tst_ValuesFit::cleanup()
{
    rig.reset();
}

void tst_ValuesFit::widestValues_data()
{
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<QString>("rxState");   // of the last exchange: ACK, NAK, nothing, address
    QTest::addColumn<QStringList>("shown"); // "object name=text" as the update must leave it

    const auto row = [](const char *name, std::initializer_list<std::pair<Id, const char *>> items,
                        const char *rxState, const QStringList &shown) {
        Reports reports;
        for (const auto &[query, answer] : items)
            reports.append({BusinessLogic::toInt(query), QString::fromLatin1(answer)});
        QTest::newRow(name) << reports << QString::fromLatin1(rxState) << shown;
    };

    // Volumes: eight digits of thousandths; set-points at their limits.
    row("volume 99999.999 ml delivered, volume set-point 999.9 ml",
        {{Id::GetActualVolume, "99999999"}, {Id::GetRunMode, "1"}, {Id::GetVolume, "00999900"}},
        "0000",
        {"labelVolumeActual=99999.999 ml", "lineEditVolume=999.9", "lineEditCalVolume=999.9",
         "lineEditFactoryCalVolume=999.9", "buttonMode=     ml     "});
    row("flow set-point at its maximum 100.0 ml/min",
        {{Id::GetRunMode, "0"}, {Id::GetFlowRate, "00100000"}}, "0000",
        {"lineEditVolume=100.0", "buttonMode=   ml/min   "});

    // Times, two digits a field: the window keeps a dispense time below 100 minutes, the pump
    // counts the elapsed hours up to 99, and a run that ends late counts below zero.
    const std::pair<Id, const char *> running{Id::GetPumpStatus, "001 1"};
    row("counting down from the longest dispense time 01:39:59",
        {{Id::GetDispenseTime, "01395900"}, {Id::GetTimeActual, "00000000"}, running}, "0000",
        {"lineEditTimeHour=01", "lineEditTimeMin=39", "lineEditTimeSec=59",
         "labelTimeActualHour=01", "labelTimeActualMin=39", "labelTimeActualSec=59"});
    row("counting up to 99:59:59.99",
        {{Id::GetDispenseTime, "00000000"}, {Id::GetTimeActual, "99595999"}, running}, "0000",
        {"labelTimeActualHour=99", "labelTimeActualMin=59", "labelTimeActualSec=60"});
    row("half a second past a dispense time of 10 s",
        {{Id::GetDispenseTime, "00001000"}, {Id::GetTimeActual, "00001050"}, running}, "0000",
        {"labelTimeActualHour=-1", "labelTimeActualMin=59", "labelTimeActualSec=60"});

    // Cyclic dosing.
    row("999 cycles, pause 99 min 59 s",
        {{Id::GetDispenseVolumeNumber, "00999"}, {Id::GetDispenseVolumeBreakTime, "05999"}}, "0000",
        {"lineEditCycles=999", "lineEditBreakTimeMin=99", "lineEditBreakTimeSec=59"});
    row("endless cycles", {{Id::GetDispenseVolumeNumber, "01000"}}, "0000", {"lineEditCycles=INF"});
    row("no cycles", {{Id::GetDispenseVolumeNumber, "00000"}}, "0000", {"lineEditCycles=OFF"});

    // Versions: five digits of hardware code, five of firmware.
    row("unknown pump, firmware V99.999", {{Id::GetModelVersion, "0000099999"}}, "0000",
        {"labelVersionHW=UNKNOWN", "labelVersionFW=V99.999", "labelPumpModel=UNKNOWN"});
    row("FLUXO 10", {{Id::GetModelVersion, "0011001023"}}, "0000",
        {"labelVersionHW=FLUXO 10", "labelPumpModel=FLUXO 10"});

    // Every entry of a list is checked in every row; here the pump picks the widest ones.
    row("lists at their widest entries, stroke volume 9999.90 ul",
        {{Id::GetCustCalPercent, "12000"},
         {Id::GetDisplayContrast, "100"},
         {Id::GetPumpProfileCharactristic, "3"},
         {Id::GetDigitalIn2, "10"},
         {Id::GetAnalogInput, "2"},
         {Id::GetDigitalOut, "3"},
         {Id::GetFactoryPumpStrokeVolume, "99999"}},
        "0000",
        {"comboCalPercent=120.0 %", "comboContrast=100 %", "comboTypeFluid=VISCOSITY 500cSt",
         "comboDigIn2=Reset & Prime", "comboAnalIn=4 .. 20 mA", "comboDigOut=6 Pulses per Rev.",
         "lineEditFactoryPumpStrokeVolume=9999.90"});

    // The link state and the feedback on the last command.
    row("pump lost, port unavailable", {}, "0010",
        {"labelConnectionState=PUMP DISCONNECTED (PORT unavailable)"});
    row("command refused", {}, "0100",
        {"labelConnectionState=PUMP CONNECTED",
         "labelTransmissionState=COMMAND NOT ACCEPTED (RANGE)"});
    row("command accepted", {}, "1000", {"labelTransmissionState=COMMAND ACCEPTED"});
}

void tst_ValuesFit::widestValues()
{
    QFETCH(Reports, reports);
    QFETCH(QString, rxState);
    QFETCH(QStringList, shown);

    mainForm &window = rig->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Twice: the set-point follows the run mode the first update takes over.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto &[query, answer] : reports)
            rig->report(static_cast<Id>(query), answer.toStdString());
        rig->setRxState(rxState.toLatin1().constData());
        window.triggerUpdateValues();
    }
    // Nothing may rewrite the widgets while they are measured.
    window.updateTimerForTests().stop();
    rig->stack.clear();

    // The widest values did reach their widgets.
    for (const QString &expected : shown) {
        QWidget *w = window.findChild<QWidget *>(expected.section(QLatin1Char('='), 0, 0));
        QVERIFY2(w != nullptr, qPrintable(expected));
        QString text;
        if (auto *label = qobject_cast<QLabel *>(w))
            text = label->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            text = edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            text = combo->currentText();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            text = button->text();
        QCOMPARE(text, expected.section(QLatin1Char('='), 1));
    }

    QStringList faults = cutOff(&window, QStringLiteral("compact screen"));
    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    QVERIFY(tabs != nullptr);
    QTest::mouseClick(rig->find<QAbstractButton>("buttonAdvanced"), Qt::LeftButton);
    QVERIFY(tabs->isVisible());
    QCOMPARE(tabs->count(), 11); // with the Factory, Journal and Service tabs
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        faults << cutOff(&window, tabs->tabText(i) + QStringLiteral(" tab"));
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

int main(int argc, char *argv[])
{
    appArgv[0] = argv[0];
    QApplication application(appArgc, appArgv);
    tst_ValuesFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_valuesfit.moc"
