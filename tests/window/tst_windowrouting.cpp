// Every answer reaches its own item: the window against the simulated pump paced at 9600 baud.
// Whatever the operator does to the queue and whatever the line does, the polled items update
// again within two refresh ticks and the running pump's time and volume keep moving.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <map>
#include <memory>

using Id = BusinessLogic::CommandSpezifier;
using Lane = BusinessLogic::Lane;

namespace {

constexpr int TickMs = GUI::RefreshTimer::IntervalMs;
// Two ticks, the exchanges of the second one, and room for a busy machine.
constexpr int TwoTicksMs = 2 * TickMs + 600;
// Far enough up the bus that a search spends seconds on the empty addresses below it.
constexpr int PumpAddress = 20;

} // namespace

class tst_WindowRouting : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        rig.reset();
        pump.reset();
    }
    void pollingSurvives_data();
    void pollingSurvives();

private:
    QAbstractButton *button(const char *name) const { return rig->find<QAbstractButton>(name); }
    QString label(const char *name) const { return rig->find<QLabel>(name)->text(); }
    // Every-tick items without an answer since `since` (ms on `clock`).
    QStringList staleSince(qint64 since) const
    {
        QStringList stale;
        if (rig->refresher.everyTick().empty())
            stale << "(nothing is polled)";
        for (GUI::OperationItem *item : rig->refresher.everyTick()) {
            const auto it = delivered.find(item);
            if (it == delivered.end() || it->second < since)
                stale << QString::number(item->spezifier());
        }
        return stale;
    }

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
    QElapsedTimer clock;
    std::map<GUI::OperationItem *, qint64> delivered;
};

void tst_WindowRouting::pollingSurvives_data()
{
    QTest::addColumn<QString>("disturbance");
    QTest::newRow("Test pressed three times while queries wait") << "test";
    QTest::newRow("pump silent: every status word goes dark") << "silence";
    QTest::newRow("search finds the pump") << "search";
    QTest::newRow("Test pressed during a search") << "test during search";
    QTest::newRow("check-character test mode on and off during a search") << "lrc during search";
    QTest::newRow("operator's commands ahead of a trickled backlog") << "backlog";
    QTest::newRow("wrong check characters while the flow rate changes") << "badlrc";
}

void tst_WindowRouting::pollingSurvives()
{
    QFETCH(QString, disturbance);
    fluxosim::ServerOptions options;
    options.pump.address = PumpAddress;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    QVERIFY(pump->start());
    InstanceSettings().setAddress(PumpAddress);
    rig = std::make_unique<WindowRig>();
    clock.start();
    delivered.clear();
    connect(&rig->refresher, &GUI::RefreshTimer::delivered, this,
            [this](GUI::OperationItem *item) { delivered[item] = clock.elapsed(); });
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
    QTRY_COMPARE_WITH_TIMEOUT(label("labelConnectionState"), QString("PUMP CONNECTED"), 8000);
    QTest::mouseClick(button("buttonStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(label("labelTimeActualSec").toInt() >= 1, 8000);
    auto *setPoint = rig->find<QLineEdit>("lineEditVolume");

    if (disturbance == "test") {
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(rig->stack.queuedCount(Lane::Poll) >= 3, 3 * TickMs);
            QTest::mouseClick(button("buttonTestComm"), Qt::LeftButton);
        }
    } else if (disturbance == "silence") {
        const auto *status =
            static_cast<OperationItemStatus *>(rig->window.itemForTests(Id::GetPumpStatus));
        QVERIFY(pump->command("status 2 1 on").ok); // input 1 active, beside the running bits
        QTRY_VERIFY_WITH_TIMEOUT(status->statusWord(2) & 2, 10 * TickMs);
        QVERIFY(pump->command("silent on").ok);
        // Each group is asked in turn, and each silent answer darkens its own group: the word
        // is no live reading any more, though the last one heard is kept. The link checks of a
        // silence hold the rotation back: all are dark some twelve ticks after it begins.
        QTRY_VERIFY_WITH_TIMEOUT(status->liveWord(1) + status->liveWord(2) + status->liveWord(3) +
                                         status->liveWord(4) + status->liveWord(6) ==
                                     0,
                                 27 * TickMs);
        QVERIFY(status->statusWord(2) & 2);
        QVERIFY(pump->command("silent off").ok);
    } else if (disturbance == "search") {
        QTest::mouseClick(button("buttonSearchPump"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(label("labelLocatedAddressIndicator"),
                                  QString::number(PumpAddress), 8000);
    } else if (disturbance.endsWith("during search")) {
        QTest::mouseClick(button("buttonSearchPump"), Qt::LeftButton);
        QTest::qWait(300);
        QVERIFY(rig->stack.queuedCount(Lane::Operator) > 100); // still at the empty addresses
        if (disturbance.startsWith("test")) {
            QTest::mouseClick(button("buttonTestComm"), Qt::LeftButton);
        } else { // each clears the queue, and neither asks the pump anything
            rig->find<QCheckBox>("checkboIncorrectLRC")->click(); // on
            rig->find<QCheckBox>("checkboIncorrectLRC")->click(); // off
        }
    } else if (disturbance == "backlog") {
        QVERIFY(pump->command("trickle 50").ok);
        int deepest = 0;
        QElapsedTimer watch;
        watch.start();
        // Six ticks: the backlog reaches its depth within three, then must stay there.
        while (watch.elapsed() < 6 * TickMs) {
            QTest::qWait(10);
            deepest = std::max(deepest, rig->stack.queuedCount(Lane::Poll));
        }
        QVERIFY2(deepest >= 5 && deepest <= 10, qPrintable(QString::number(deepest)));
        QSignalSpy answers(&rig->stack, &BusinessLogic::CommandStack::sendAnswer);
        WindowRig::type(setPoint, "20");
        setPoint->clearFocus();
        QTest::mouseClick(button("buttonPause"), Qt::LeftButton);
        QTest::mouseClick(button("buttonStart"), Qt::LeftButton);
        QVERIFY(rig->stack.queuedCount(Lane::Poll) >= 3);
        // The three run next, in their order, ahead of the polls that waited.
        QTRY_VERIFY_WITH_TIMEOUT(answers.count() >= 3, 5000);
        for (const Id id : {Id::SetFlowRate, Id::Pause, Id::Start})
            QCOMPARE(answers.takeFirst().first().value<Answer>().commandId, int(id));
        QVERIFY(pump->command("trickle 0").ok);
        // The backlog drains within two ticks of line speed (after the trickled answer).
        QTRY_COMPARE_WITH_TIMEOUT(rig->stack.queuedCount(Lane::Poll), 0, 13 * 50 + TwoTicksMs);
    } else if (disturbance == "badlrc") {
        QCOMPARE(setPoint->text(), QString("10.00"));
        QSignalSpy answers(&rig->stack, &BusinessLogic::CommandStack::sendAnswer);
        QVERIFY(pump->command("badlrc on").ok);
        WindowRig::type(rig->find<QLineEdit>("lineEditDiscreteCommand"), "RV00025000");
        // The flow rate is polled, comes back with wrong check characters, and is not shown.
        QElapsedTimer watch;
        watch.start();
        while (watch.elapsed() < 4 * TickMs) {
            QTest::qWait(20);
            QCOMPARE(setPoint->text(), QString("10.00"));
        }
        int failed = 0;
        for (const QList<QVariant> &args : answers) {
            const auto answer = args.first().value<Answer>();
            failed += answer.commandId == int(Id::GetFlowRate) &&
                      answer.outcome == BusinessLogic::AnswerOutcome::InvalidFrame;
        }
        QVERIFY2(failed >= 2, qPrintable(QString::number(failed)));
        QVERIFY(pump->command("badlrc off").ok);
        QTRY_COMPARE_WITH_TIMEOUT(setPoint->text(), QString("25.00"), TwoTicksMs);
    }

    // The line is well again: every polled item updates within two ticks.
    const qint64 since = clock.elapsed();
    QTRY_VERIFY2_WITH_TIMEOUT(staleSince(since).isEmpty(),
                              qPrintable("no answer for " + staleSince(since).join(' ')),
                              TwoTicksMs);
    QTRY_COMPARE_WITH_TIMEOUT(label("labelConnectionState"), QString("PUMP CONNECTED"), 2000);
    const QString seconds = label("labelTimeActualSec");
    const QString volume = label("labelVolumeActual");
    QTRY_VERIFY_WITH_TIMEOUT(label("labelTimeActualSec") != seconds, TwoTicksMs + 1000);
    QTRY_VERIFY_WITH_TIMEOUT(label("labelVolumeActual") != volume, TwoTicksMs);
}

QTEST_MAIN(tst_WindowRouting)
#include "tst_windowrouting.moc"
