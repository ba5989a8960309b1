// What the operator's hand does to the pump through the window, against the simulated pump: a
// stray wheel turn does nothing, Escape cancels an entry, the Stop key works from any tab, and
// one click on a help topic opens it. The program runs as for service (the Factory tab is
// shown), so every tab is covered.

#include "PumpServer.h"
#include "WindowRig.h"
#include "help/HelpBrowser.h"
#include "help/HelpCollection.h"
#include "help/HelpContent.h"
#include "platform/InstanceSettings.h"
#include "ui/ControlHints.h"
#include "ui/MouseEventLineEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Endless cycles, a pause of 2 min 5 s and a dispense time of 1 min 30 s.
const QStringList presets{"DN01000", "DB00125", "DT00013000"};
const QStringList valueFields{"lineEditVolume",       "lineEditTimeHour", "lineEditTimeMin",
                              "lineEditTimeSec",      "lineEditCycles",   "lineEditBreakTimeMin",
                              "lineEditBreakTimeSec", "lineEditCalVolume"};

// One notch as the window system delivers it: spontaneous, so the application gives the wheel
// focus to widgets that take it and hands a turn nobody took on to the parents.
void roll(QWidget *widget, int delta)
{
    const QPoint at = widget->rect().center();
    QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(widget, &event);
}

// What the operator can change in a list, a check box or a field.
QString state(QWidget *widget)
{
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return QString::number(combo->currentIndex());
    if (auto *box = qobject_cast<QCheckBox *>(widget))
        return QString::number(box->checkState());
    return static_cast<QLineEdit *>(widget)->text();
}

// Counts the wheel turns that reach an object: those nobody below it took.
struct WheelCount : QObject
{
    int turns = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        turns += event->type() == QEvent::Wheel ? 1 : 0;
        return false;
    }
};

} // namespace

class tst_WindowInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void wheelWithoutFocusChangesNothing();
    void focusedListPicksByKeysOnly();
    void escapeRestores_data();
    void escapeRestores();
    void stopKeyFromAnyTab_data();
    void stopKeyFromAnyTab();
    void oneClickOpensHelp();

private:
    // The frames other than queries that reached the pump since its log was cleared, as address,
    // mnemonic and value ("01KY0").
    QStringList settingsReceived() const;
    QString fieldTexts() const;
    QTabWidget *tabs() const { return rig->find<QTabWidget>("TabsExtendedSettings"); }
    // Takes the keyboard focus from every control, waits for the queue to empty and starts a new
    // pump log.
    void settle();

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig; // let go of the line before the pump hangs up
    std::unique_ptr<HelpContent> helpMap;
    QString shownTexts;
};

QStringList tst_WindowInput::settingsReceived() const
{
    QStringList settings;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind == fluxosim::LogEntry::Kind::Received && entry.bytes.size() > 4 &&
            entry.bytes[3] != '?')
            settings << QString::fromStdString(entry.bytes.substr(1, entry.bytes.find('\x03') - 1));
    }
    return settings;
}

QString tst_WindowInput::fieldTexts() const
{
    QStringList texts;
    for (const QString &name : valueFields)
        texts << rig->window.findChild<QLineEdit *>(name)->text();
    return texts.join(QLatin1Char(' '));
}

void tst_WindowInput::settle()
{
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    QTRY_VERIFY(rig->stack.queuedEntries().empty());
    QTest::qWait(100); // a display update writes every field
    pump->clearLog();
}

void tst_WindowInput::initTestCase()
{
    fluxosim::ServerOptions options;
    options.fast = true;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    QVERIFY(pump->start());
    const QString refused = WindowRig::preset(pump->devicePath(), presets);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    InstanceSettings().setAddress(1);
    rig = std::make_unique<WindowRig>();
    helpMap = std::make_unique<HelpContent>(&rig->window, &rig->window);
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
    QTest::mouseClick(rig->find<QAbstractButton>("buttonAdvanced"), Qt::LeftButton);
    rig->window.show();
    QApplication::setActiveWindow(&rig->window);
    QVERIFY(QTest::qWaitForWindowActive(&rig->window));
    QVERIFY(tabs()->indexOf(rig->find<QWidget>("TabFactory")) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(fieldTexts().contains("INF 2 5"), 8000);
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLineEdit>("lineEditTimeSec")->text(), QString("30"), 8000);
    settle();
    shownTexts = fieldTexts();
}

void tst_WindowInput::init()
{
    settle();
}

void tst_WindowInput::cleanupTestCase()
{
    helpMap.reset();
    rig.reset();
    pump.reset();
}

// ---------------------------------------------------------------------------------------------
// The wheel

void tst_WindowInput::wheelWithoutFocusChangesNothing()
{
    QStringList rolled;
    WheelCount atWindow;
    rig->window.installEventFilter(&atWindow);
    int turns = 0;
    for (int page = 0; page < tabs()->count(); ++page) {
        tabs()->setCurrentIndex(page);
        // The main screen's fields are swept with every page; that costs little.
        for (QWidget *w : rig->window.findChildren<QWidget *>()) {
            if (!qobject_cast<QComboBox *>(w) && !qobject_cast<QCheckBox *>(w) &&
                !qobject_cast<MouseEventLineEdit *>(w))
                continue;
            if (!w->isVisible() || !w->isEnabled())
                continue;
            const QString before = state(w);
            for (const int delta : {-120, 120, 120, -120}) {
                roll(w, delta);
                ++turns;
                const QString where = tabs()->tabText(page) + ": " + w->objectName();
                QVERIFY2(!w->hasFocus(), qPrintable(where + " took the focus"));
                QVERIFY2(state(w) == before, qPrintable(where + " changed"));
            }
            rolled << w->objectName();
        }
    }
    for (const char *name : {"comboContrast", "comboCalPercent", "comboPumpAddress",
                             "comboPumpModel", "checkboAutostart", "lineEditCycles"})
        QVERIFY2(rolled.contains(name), name);
    // Every turn went on to the window: a page around the control would have scrolled.
    rig->window.removeEventFilter(&atWindow);
    QCOMPARE(atWindow.turns, turns);

    QTest::qWait(1000); // several display updates and refresh ticks
    QCOMPARE(settingsReceived(), QStringList());
    QCOMPARE(fieldTexts(), shownTexts);
}

void tst_WindowInput::focusedListPicksByKeysOnly()
{
    tabs()->setCurrentWidget(rig->find<QWidget>("TabAdvanced"));
    auto *contrast = rig->find<QComboBox>("comboContrast");
    const int shown = contrast->currentIndex();
    contrast->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(contrast->hasFocus());

    // Focused or not, a list takes no wheel.
    roll(contrast, -120);
    QCOMPARE(contrast->currentIndex(), shown);
    QTest::qWait(300);
    QCOMPARE(settingsReceived(), QStringList());

    // An arrow key is a pick: it goes to the pump, and the way back does too.
    const bool up = shown == contrast->count() - 1;
    QTest::keyClick(contrast, up ? Qt::Key_Up : Qt::Key_Down);
    const int picked = contrast->currentIndex();
    QCOMPARE(picked, up ? shown - 1 : shown + 1);
    const QString there = QStringLiteral("01LC%1").arg(picked, 3, 10, QLatin1Char('0'));
    QTRY_COMPARE(settingsReceived(), QStringList{there});
    QTest::keyClick(contrast, up ? Qt::Key_Down : Qt::Key_Up);
    const QString back = QStringLiteral("01LC%1").arg(shown, 3, 10, QLatin1Char('0'));
    QTRY_COMPARE(settingsReceived(), (QStringList{there, back}));
}

// ---------------------------------------------------------------------------------------------
// Escape

void tst_WindowInput::escapeRestores_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed"); // empty: one wheel notch down instead
    // The fields that hold the operator's entry before Escape.
    QTest::addColumn<QStringList>("changed");

    QTest::newRow("text that is no number, in the set-point")
        << "lineEditVolume"
        << "abc" << QStringList{"lineEditVolume"};
    QTest::newRow("a wheeled cycle count")
        << "lineEditCycles" << QString() << QStringList{"lineEditCycles"};
    QTest::newRow("seconds that carry into the minutes")
        << "lineEditTimeSec"
        << "75" << QStringList{"lineEditTimeMin", "lineEditTimeSec"};
}

void tst_WindowInput::escapeRestores()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QStringList, changed);
    auto *edit = rig->find<MouseEventLineEdit>(field.toLatin1().constData());
    for (int page = 0; page < tabs()->count() && !edit->isVisible(); ++page)
        tabs()->setCurrentIndex(page);
    edit->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    if (typed.isEmpty()) {
        roll(edit, -120);
    } else {
        edit->clear();
        QTest::keyClicks(edit, typed);
    }
    const QStringList shown = shownTexts.split(QLatin1Char(' '));
    for (const QString &name : changed) {
        const QString now = rig->find<QLineEdit>(name.toLatin1().constData())->text();
        QVERIFY2(now != shown.at(valueFields.indexOf(name)), qPrintable(name + " kept " + now));
    }
    QVERIFY(fieldTexts() != shownTexts);

    QTest::keyClick(edit, Qt::Key_Escape);

    QCOMPARE(fieldTexts(), shownTexts);
    QVERIFY(!edit->hasFocus());
    QVERIFY(rig->window.isVisible()); // the window did not take Escape as "close"
    QTest::qWait(500);                // display updates and the queue
    QCOMPARE(settingsReceived(), QStringList());
    QCOMPARE(fieldTexts(), shownTexts);
}

// ---------------------------------------------------------------------------------------------
// The Stop key

void tst_WindowInput::stopKeyFromAnyTab_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("focus"); // empty: none

    QTest::newRow("Communication tab, typing a command") << "TabCommunication"
                                                         << "lineEditDiscreteCommand";
    QTest::newRow("Cycle tab, in the cycles field") << "tabCyclic"
                                                    << "lineEditCycles";
    QTest::newRow("Help tab, nothing focused") << "tabHelp" << QString();
}

void tst_WindowInput::stopKeyFromAnyTab()
{
    QFETCH(QString, tab);
    QFETCH(QString, focus);
    tabs()->setCurrentWidget(rig->find<QWidget>(tab.toLatin1().constData()));
    QWidget *target = &rig->window;
    if (!focus.isEmpty()) {
        target = rig->find<QWidget>(focus.toLatin1().constData());
        target->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(target->hasFocus());
    }

    QTest::keyClick(target, Qt::Key_Period, Qt::ControlModifier);

    QTRY_COMPARE(settingsReceived(), QStringList{"01KY0"});
}

// ---------------------------------------------------------------------------------------------
// Help

void tst_WindowInput::oneClickOpensHelp()
{
    auto *contents = rig->window.findChild<QHelpContentWidget *>();
    auto *browser = rig->window.findChild<HelpBrowser *>();
    QVERIFY(contents != nullptr && browser != nullptr);
    auto *model = qobject_cast<QHelpContentModel *>(contents->model());
    QVERIFY(model != nullptr);
    const auto treeShows = [&] {
        const QHelpContentItem *item = model->contentItemAt(contents->currentIndex());
        return item != nullptr ? item->url() : QUrl();
    };
    tabs()->setCurrentWidget(rig->find<QWidget>("TabAdvanced"));

    QTest::keyClick(&rig->window, Qt::Key_F1);
    QCOMPARE(browser->source(), HelpCollection::indexUrl());
    QTRY_COMPARE(treeShows(), HelpCollection::indexUrl());

    const QUrl stop = HelpCollection::pageUrl(QStringLiteral("stopbutton.html"));
    const QModelIndex topic = contents->indexOf(stop);
    QVERIFY(topic.isValid());
    contents->scrollTo(topic);
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, Qt::NoModifier,
                      contents->visualRect(topic).center());
    QCOMPARE(browser->source(), stop);
    QCOMPARE(treeShows(), stop);
    QVERIFY(browser->toPlainText().contains(ControlHints::stopKey().toString()));

    // A link followed in the page moves the tree along.
    const QUrl prime = HelpCollection::pageUrl(QStringLiteral("primebutton.html"));
    browser->setSource(prime);
    QCOMPARE(treeShows(), prime);
}

// Started as for service: the access code opens the Factory tab.
int main(int argc, char **argv)
{
    std::vector<char *> arguments(argv, argv + argc);
    char access[] = "--QZW service gate";
    arguments.insert(arguments.begin() + 1, access);
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    tst_WindowInput test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowinput.moc"
