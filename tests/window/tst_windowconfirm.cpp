// The questions before what cannot be undone, against the simulated pump: answered No, nothing
// reaches the pump and a list or box shows the pump's value again; answered Yes, the command goes.
// The window follows the pump to a new address.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"
#include "ui/Confirmation.h"
#include "ui/ProcessData.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using Id = BusinessLogic::CommandSpezifier;
using Topic = Confirmation::Topic;

namespace {

// Polling settles within a few refresh periods of 700 ms; the slow rotation, which reads the
// pump's address and model, takes about 17 of them.
constexpr int SettleMs = 6000;
constexpr int SlowRotationMs = 20000;

} // namespace

class tst_WindowConfirm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void cleanup();
    void questionBeforeTheCommand_data();
    void questionBeforeTheCommand();
    void messageBoxAnswersByKeyboard_data();
    void messageBoxAnswersByKeyboard();
    void addressChangeIsFollowed();

private:
    // The pump at address 1 and the window talking to it; `answer` answers every question.
    bool startUp();
    void act(const QString &widget, const QString &input);
    // Frames the pump received since its log was cleared: to that address and answered with
    // data (queries), or else every one that is no query ("IP", "AD05").
    QStringList received(int queriesAt = -1) const;
    // The pump answered a few more queries: whatever the operator queued went before them.
    bool settled();
    QString text(const char *label) const { return rig->find<QLabel>(label)->text(); }

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig; // lets go of the line before the pump hangs up
    QElapsedTimer sinceBuilt;
    std::vector<Confirmation::Question> asked;
    bool answer = false;
};

void tst_WindowConfirm::cleanup()
{
    rig.reset();
    pump.reset();
    asked.clear();
}

bool tst_WindowConfirm::startUp()
{
    fluxosim::ServerOptions options;
    options.fast = true;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    InstanceSettings().setAddress(1);
    rig = std::make_unique<WindowRig>();
    sinceBuilt.start();
    rig->window.findChild<Confirmation *>()->answerWith([this](const Confirmation::Question &q) {
        asked.push_back(q);
        return answer;
    });
    if (!pump->start())
        return false;
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
    return QTest::qWaitFor([this] { return text("labelConnectionState") == "PUMP CONNECTED"; },
                           SettleMs);
}

void tst_WindowConfirm::act(const QString &widget, const QString &input)
{
    QWidget *w = rig->window.findChild<QWidget *>(widget);
    if (widget == QLatin1String("window")) {
        // The window shows itself a second after it is built; a close before that would be undone.
        QTest::qWait(int(std::max<qint64>(0, 1100 - sinceBuilt.elapsed())));
        rig->window.close();
    } else if (auto *combo = qobject_cast<QComboBox *>(w))
        WindowRig::choose(combo, input.toInt());
    else if (auto *field = qobject_cast<QLineEdit *>(w))
        WindowRig::type(field, input);
    else
        QTest::mouseClick(qobject_cast<QAbstractButton *>(w), Qt::LeftButton);
}

QStringList tst_WindowConfirm::received(int queriesAt) const
{
    const QByteArray at = QByteArray::number(queriesAt).rightJustified(2, '0') + '?';
    QStringList frames;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        const QByteArray b = QByteArray::fromStdString(entry.bytes);
        if (entry.kind != fluxosim::LogEntry::Kind::Received || b.size() < 5)
            continue;
        if (queriesAt < 0 ? b[3] != '?' : b.mid(1, 3) == at && entry.verdict.rfind("query", 0) == 0)
            frames << QString::fromLatin1(b.mid(3, b.indexOf('\x03') - 3));
    }
    return frames;
}

bool tst_WindowConfirm::settled()
{
    const int before = received(1).size();
    return QTest::qWaitFor([&] { return received(1).size() >= before + 3; }, SettleMs);
}

void tst_WindowConfirm::questionBeforeTheCommand_data()
{
    QTest::addColumn<QString>("widget");    // "window": it is closed
    QTest::addColumn<QString>("input");     // list index or typed text
    QTest::addColumn<QString>("before");    // "run", "record": a run or recording is on first
    QTest::addColumn<int>("reported");      // the item the pump must have reported first, or -1
    QTest::addColumn<int>("topic");         // of the question; -1 when none is asked
    QTest::addColumn<QStringList>("named"); // what the question names
    QTest::addColumn<QString>("frame");     // what reaches the pump on Yes (or unasked)

    const auto row = [](const char *name, const char *widget, const char *input, const char *before,
                        Id reported, int topic, QStringList named, const char *frame) {
        QTest::newRow(name) << widget << input << before << int(reported) << topic << named
                            << frame;
    };
    const auto t = [](Topic topic) {
        return static_cast<int>(topic);
    };
    const Id none = Id::Base;
    row("default values", "buttonDefaults", "", "", none, t(Topic::DefaultValues),
        {"every pump setting", "address"}, "IP");
    row("maintenance while running", "buttonMaintenancePos", "", "run", none, t(Topic::Maintenance),
        {"running", "run ends"}, "MP1");
    row("maintenance standing: not asked", "buttonMaintenancePos", "", "", none, -1, {}, "MP1");
    row("pump address 5", "comboPumpAddress", "5", "", Id::GetPumpAddress, t(Topic::PumpAddress),
        {"address 1", "address 5"}, "AD05");
    row("the pump's own address: not asked", "comboPumpAddress", "1", "", Id::GetPumpAddress, -1,
        {}, "AD01");
    row("factory mode on", "checkboFactoryMode", "", "", none, t(Topic::FactoryMode), {"on"},
        "PF!1");
    row("pump model M02-B", "comboPumpModel", "3", "", Id::GetPumpModel, t(Topic::PumpModel),
        {"M02-B", "M10-A"}, "PM!3");
    row("the pump's own model: not asked", "comboPumpModel", "0", "", Id::GetPumpModel, -1, {}, "");
    row("stroke volume 202.5 ul", "lineEditFactoryPumpStrokeVolume", "202.5", "", none,
        t(Topic::StrokeVolume), {"202.50"}, "ZF!02025");
    row("factory calibration volume 12.5 ml", "lineEditFactoryCalVolume", "12.5", "", none,
        t(Topic::FactoryCalibrationVolume), {"12.500 ml"}, "ZR!00012500");
    row("close, standing: not asked", "window", "", "", none, -1, {}, "");
    row("close while running", "window", "", "run", none, t(Topic::Close), {"keeps running"}, "");
    row("close while recording", "window", "", "record", none, t(Topic::Close),
        {"recording", "run.csv"}, "");
}

void tst_WindowConfirm::questionBeforeTheCommand()
{
    QFETCH(QString, widget);
    QFETCH(QString, input);
    QFETCH(QString, before);
    QFETCH(int, reported);
    QFETCH(int, topic);
    QFETCH(QStringList, named);
    QFETCH(QString, frame);

    QVERIFY(startUp());
    if (reported != int(Id::Base))
        QTRY_VERIFY_WITH_TIMEOUT(rig->window.itemForTests(Id(reported))->known(), SlowRotationMs);
    QTemporaryDir dir;
    if (before == "record")
        QVERIFY(rig->window.processData()->record(dir.filePath("run.csv")));
    if (before == "run") {
        act("buttonStart", "");
        // Running by the pump's own report, not only by the key it took.
        QTRY_VERIFY_WITH_TIMEOUT(
            rig->core.sampler().take().status.value_or(QStringList()).contains("Motor in Motion"),
            SettleMs);
    }
    QWidget *w = widget == "window" ? &rig->window : rig->find<QWidget>(qPrintable(widget));
    rig->window.show();
    const auto shown = [w] {
        if (auto *combo = qobject_cast<QComboBox *>(w))
            return combo->currentIndex();
        return int(qobject_cast<QCheckBox *>(w) ? qobject_cast<QCheckBox *>(w)->isChecked()
                                                : w->isVisible());
    };
    QVERIFY(settled());
    const int shownBefore = shown();
    pump->clearLog();

    for (const bool yes : {false, true}) {
        answer = yes;
        act(widget, input);
        if (topic >= 0) {
            QCOMPARE(int(asked.size()), yes ? 2 : 1);
            QCOMPARE(int(asked.back().topic), topic);
            const QString words = asked.back().text + ' ' + asked.back().consequence;
            for (const QString &name : named)
                QVERIFY2(words.contains(name), qPrintable(words));
        }
        if (!yes && topic >= 0) {
            QCOMPARE(shown(), shownBefore); // at once, not only when the display writes it
            QVERIFY(settled());
            QCOMPARE(received(), QStringList());
            continue;
        }
        if (frame.isEmpty())
            QVERIFY(settled());
        QTRY_COMPARE_WITH_TIMEOUT(received(), frame.isEmpty() ? QStringList() : QStringList{frame},
                                  SettleMs);
        break;
    }
    QCOMPARE(int(asked.size()), topic >= 0 ? 2 : 0);
    if (widget == "window") { // closed, and nothing stopped the pump
        QVERIFY(!rig->window.isVisible());
        QCOMPARE(rig->core.sampler().take().running(), before == "run");
    }
}

void tst_WindowConfirm::messageBoxAnswersByKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Enter: No, the default") << int(Qt::Key_Return) << QStringList{};
    QTest::newRow("Esc: No") << int(Qt::Key_Escape) << QStringList{};
    QTest::newRow("Y: Yes") << int(Qt::Key_Y) << QStringList{"IP"};
}

void tst_WindowConfirm::messageBoxAnswersByKeyboard()
{
    QFETCH(int, key);
    QFETCH(QStringList, sent);

    QVERIFY(startUp());
    rig->window.findChild<Confirmation *>()->answerWith({});
    pump->clearLog();
    QString question;
    QTimer answering; // the box is modal: the key comes from the event loop it runs
    connect(&answering, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            answering.stop();
            question = box->text();
            QTest::keyClick(box, Qt::Key(key));
        }
    });
    answering.start(20);
    act("buttonDefaults", "");
    QCOMPARE(question, QStringLiteral("Reset every pump setting to its start value?"));
    QVERIFY(settled());
    QTRY_COMPARE_WITH_TIMEOUT(received(), sent, SettleMs);
}

void tst_WindowConfirm::addressChangeIsFollowed()
{
    QVERIFY(startUp());
    answer = true;
    act("comboPumpAddress", "5");
    QTRY_COMPARE_WITH_TIMEOUT(text("labelUserAction"),
                              QStringLiteral("Pump address is now 5; DOSETTA follows it"),
                              SettleMs);
    QCOMPARE(rig->link.address(), 5);
    QCOMPARE(rig->find<QComboBox>("comboCommAddress")->currentIndex(), 5);
    QCOMPARE(InstanceSettings().address(), 5); // the next start talks to address 5 too
    // The pump goes on answering the polls, all of them at its new address.
    pump->clearLog();
    QTRY_VERIFY_WITH_TIMEOUT(received(5).size() >= 10, SettleMs);
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind == fluxosim::LogEntry::Kind::Received)
            QCOMPARE(entry.bytes.substr(1, 2), std::string("05"));
    }
    QCOMPARE(text("labelConnectionState"), QStringLiteral("PUMP CONNECTED"));
    QVERIFY(rig->window.windowTitle().contains("ADDR 5"));
}

QTEST_MAIN(tst_WindowConfirm)
#include "tst_windowconfirm.moc"
