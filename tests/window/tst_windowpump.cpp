// The window against the simulated pump on a pseudo-terminal, with every timer running: the run
// buttons and what the pump reports back, the pump search on the bus, and the link state when
// the pump falls silent and returns. Time bounds are generous: the machine may be busy.

#include "ImageMatch.h"
#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "platform/InstanceSettings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

namespace {

const char greenBullet[] = ":/Images/Images/1406229038_bullet-green.png";
const char greyBullet[] = ":/Images/Images/1406229026_bullet-grey.png";
const QString connected = QStringLiteral("PUMP CONNECTED");

// Polling and the display settle within a few refresh periods of 700 ms.
constexpr int SettleMs = 6000;

bool shows(QLabel *icon, const char *image)
{
    const QImage shown = icon->pixmap(Qt::ReturnByValue).toImage();
    return ImageMatch::same(shown, QImage(QString::fromLatin1(image)));
}

} // namespace

class tst_WindowPump : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startAndStopFromTheWindow();
    void searchFindsThePumpAtAddress7();
    void silenceAndReturn();

private:
    // The pump at that address, the window talking to windowAddress on the pump's line, started
    // as the program starts it.
    bool startUp(int pumpAddress, int windowAddress);
    QString connectionText() const { return rig->find<QLabel>("labelConnectionState")->text(); }
    QString startPausePage() const
    {
        return rig->find<QStackedWidget>("stackedButtonStartPause")->currentWidget()->objectName();
    }
    // Received frames addressed to that pump which it obeyed, since the log was last cleared.
    int obeyedFramesTo(int address) const;

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
};

void tst_WindowPump::init()
{
    mainForm::fadePercent = 100;
}

void tst_WindowPump::cleanup()
{
    // The window lets go of the line before the pump hangs up.
    rig.reset();
    pump.reset();
}

bool tst_WindowPump::startUp(int pumpAddress, int windowAddress)
{
    return startWindowOnSimulator(pump, rig, pumpAddress, windowAddress);
}

int tst_WindowPump::obeyedFramesTo(int address) const
{
    const std::string wanted =
        QStringLiteral("%1").arg(address, 2, 10, QLatin1Char('0')).toStdString();
    int count = 0;
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind == fluxosim::LogEntry::Kind::Received && entry.bytes.size() > 3 &&
            entry.bytes.compare(1, 2, wanted) == 0 && entry.verdict.rfind("silence", 0) != 0 &&
            entry.verdict.rfind("ignored", 0) != 0)
            ++count;
    }
    return count;
}

void tst_WindowPump::startAndStopFromTheWindow()
{
    QVERIFY(startUp(1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(), connected, SettleMs);
    auto *motor = rig->find<QLabel>("labelMotorMotionIcon");
    auto *seconds = rig->find<QLabel>("labelTimeActualSec");
    QVERIFY(motor && seconds);
    QVERIFY(shows(motor, greyBullet));
    QCOMPARE(startPausePage(), QStringLiteral("pageStart"));

    QTest::mouseClick(rig->find<QAbstractButton>("buttonStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(shows(motor, greenBullet), SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(startPausePage(), QStringLiteral("pagePause"), SettleMs);

    // No dispense time is set, so the elapsed time counts up.
    const int first = seconds->text().toInt();
    QTRY_VERIFY_WITH_TIMEOUT(seconds->text().toInt() >= first + 2, SettleMs);
    QCOMPARE(rig->find<QLabel>("labelTimeActualHour")->text(), QStringLiteral("00"));

    QTest::mouseClick(rig->find<QAbstractButton>("buttonStop"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(shows(motor, greyBullet), SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(startPausePage(), QStringLiteral("pageStart"), SettleMs);
    // Standing, the labels show the target time again.
    QTRY_COMPARE_WITH_TIMEOUT(seconds->text(), QStringLiteral("00"), SettleMs);
    QCOMPARE(connectionText(), connected);
}

void tst_WindowPump::searchFindsThePumpAtAddress7()
{
    QVERIFY(startUp(7, 0));
    // Nobody answers at address 0.
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(), QStringLiteral("PUMP DISCONNECTED (PORT opend)"),
                              SettleMs);

    QTest::mouseClick(rig->find<QAbstractButton>("buttonSearchPump"), Qt::LeftButton);
    // Addresses 0-6 each cost two silent waits of up to 80 ms.
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLabel>("labelLocatedAddressIndicator")->text(),
                              QStringLiteral("7"), 15000);
    QCOMPARE(rig->find<QComboBox>("comboCommAddress")->currentIndex(), 7);
    QCOMPARE(InstanceSettings().address(), 7);
    QTRY_COMPARE_WITH_TIMEOUT(rig->link.address(), 7, SettleMs);

    // Polling resumes at the address found.
    pump->clearLog();
    QTRY_VERIFY_WITH_TIMEOUT(obeyedFramesTo(7) >= 3, SettleMs);
    QCOMPARE(obeyedFramesTo(0), 0);
}

void tst_WindowPump::silenceAndReturn()
{
    QVERIFY(startUp(1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(), connected, SettleMs);
    QTRY_VERIFY_WITH_TIMEOUT(!rig->window.slowPollForTests(), SettleMs);

    QVERIFY(pump->command("silent on").ok);
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(), QStringLiteral("PUMP DISCONNECTED (PORT opend)"),
                              SettleMs);
    QVERIFY(rig->window.slowPollForTests());
    // While silent, the display checks the link at the slow rhythm, every 500 ms.
    QCOMPARE(rig->window.updateTimerForTests().interval(), 500);

    QVERIFY(pump->command("silent off").ok);
    // Polled data frames do not change the label; the next address answer does, at the latest
    // when the slow rotation asks for the pump's address (a dozen ticks of 700 ms).
    QTRY_COMPARE_WITH_TIMEOUT(connectionText(), connected, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig->window.slowPollForTests(), SettleMs);
}

QTEST_MAIN(tst_WindowPump)
#include "tst_windowpump.moc"
