// The compact screen's state line and error banner against the simulated pump, the cause given
// for a refused start, and the colour of the Status tab's bullets. Time bounds are generous: the
// machine may be busy.

#include "ImageMatch.h"
#include "PumpServer.h"
#include "WindowOnSimulator.h"
#include "platform/InstanceSettings.h"
#include "ui/ProcessData.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Polling and the display settle within a few refresh periods of 700 ms.
constexpr int SettleMs = 6000;

const char greenBullet[] = ":/Images/Images/1406229038_bullet-green.png";
const char redBullet[] = ":/Images/Images/bullet-red.png";
const char greyBullet[] = ":/Images/Images/1406229026_bullet-grey.png";
const QString refusedStart =
    QStringLiteral("COMMAND NOT ACCEPTED (RANGE) - pump reports: Overpressure");

} // namespace

class tst_WindowState : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stateLineFollowsTheRun();
    void errorsInPlainView();

private:
    bool startUp();
    QLabel *label(const char *name) const { return rig->find<QLabel>(name); }
    QString text(const char *name) const { return label(name)->text(); }
    void click(const char *button) const { rig->find<QAbstractButton>(button)->click(); }
    bool shows(const char *icon, const char *image) const
    {
        const QImage shown = label(icon)->pixmap(Qt::ReturnByValue).toImage();
        return ImageMatch::same(shown, QImage(QString::fromLatin1(image)));
    }
    // The last row's field in that column of the recording.
    QString recorded(const QString &path, int column) const;

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig;
};

void tst_WindowState::init()
{
    mainForm::fadePercent = 100;
}

void tst_WindowState::cleanup()
{
    // The window lets go of the line before the pump hangs up.
    rig.reset();
    pump.reset();
}

bool tst_WindowState::startUp()
{
    return startWindowOnSimulator(pump, rig);
}

QString tst_WindowState::recorded(const QString &path, int column) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no file)");
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    return QString::fromUtf8(lines.last().trimmed().split(',').value(column));
}

void tst_WindowState::stateLineFollowsTheRun()
{
    QVERIFY(startUp());
    QTRY_COMPARE_WITH_TIMEOUT(text("labelPumpState"), QStringLiteral("STOPPED"), SettleMs);

    // The simulator's flow mode runs until stopped; a pause freezes the run, Start continues it.
    const struct
    {
        const char *button;
        const char *state;
    } steps[] = {
        {"buttonStart", "RUNNING"}, {"buttonPause", "PAUSED"},  {"buttonStart", "RUNNING"},
        {"buttonStop", "STOPPED"},  {"buttonPrime", "PRIMING"}, {"buttonStop", "STOPPED"},
    };
    for (const auto &step : steps) {
        click(step.button);
        QTRY_COMPARE_WITH_TIMEOUT(text("labelPumpState"), QString::fromLatin1(step.state),
                                  SettleMs);
    }

    // 2 ml at the full flow of 100 ml/min: the dose ends by itself after 1.2 s.
    QVERIFY(rig->pickRunMode(QStringLiteral("ml")));
    WindowRig::type(rig->find<QLineEdit>("lineEditVolume"), QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(
        rig->window.itemForTests(BusinessLogic::CommandSpezifier::GetVolume)->value(), 2000,
        SettleMs);
    click("buttonStart");
    QTRY_COMPARE_WITH_TIMEOUT(text("labelPumpState"),
                              QStringLiteral("DOSE DONE: 2.000 ml in 00:00:01"), SettleMs);
    // It stands until the next run key.
    QTest::qWait(1500);
    QCOMPARE(text("labelPumpState"), QStringLiteral("DOSE DONE: 2.000 ml in 00:00:01"));
}

void tst_WindowState::errorsInPlainView()
{
    QVERIFY(startUp());
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QVERIFY(rig->window.processData()->record(csv));
    QLabel *banner = label("labelErrorBanner");
    QTRY_COMPARE_WITH_TIMEOUT(text("labelPumpState"), QStringLiteral("STOPPED"), SettleMs);
    QVERIFY(banner->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(shows("labelMotorAdjustedIcon", greenBullet), SettleMs);
    QTRY_VERIFY_WITH_TIMEOUT(shows("labelErrorNoneIcon", greenBullet), SettleMs);
    QVERIFY(shows("labelErrorOverpressureIcon", greyBullet));

    QVERIFY(pump->command("error overpressure on").ok);
    QTRY_VERIFY_WITH_TIMEOUT(!banner->isHidden(), SettleMs);
    QCOMPARE(banner->text(), QStringLiteral("PUMP ERROR: Overpressure"));
    // The flag as the recording names it (columns run_state and errors).
    QTRY_COMPARE_WITH_TIMEOUT(recorded(csv, 11), QStringLiteral("Overpressure"), SettleMs);
    QCOMPARE(recorded(csv, 3), QStringLiteral("stopped"));
    // Lit errors are red, a lit status flag stays green.
    QTRY_VERIFY_WITH_TIMEOUT(shows("labelErrorOverpressureIcon", redBullet), SettleMs);
    QVERIFY(shows("labelPumpFaultIcon", redBullet));
    QVERIFY(shows("labelMotorAdjustedIcon", greenBullet));
    QVERIFY(shows("labelErrorNoneIcon", greyBullet));

    // The refused start names the flag and does not fade while it stands.
    click("buttonStart");
    QTRY_COMPARE_WITH_TIMEOUT(text("labelTransmissionState"), refusedStart, SettleMs);
    QTest::qWait(2000); // the plain refusal fades within 1.25 s
    QCOMPARE(text("labelTransmissionState"), refusedStart);
    QVERIFY2(label("labelTransmissionState")->styleSheet().contains(QLatin1String(",100%)")),
             qPrintable(label("labelTransmissionState")->styleSheet()));
    QCOMPARE(text("labelPumpState"), QStringLiteral("STOPPED"));

    QVERIFY(pump->command("error overpressure off").ok);
    QTRY_VERIFY_WITH_TIMEOUT(banner->isHidden(), SettleMs);
    QTRY_VERIFY_WITH_TIMEOUT(shows("labelErrorOverpressureIcon", greyBullet), SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(recorded(csv, 11), QString(), SettleMs);
    // Once the flag clears the feedback fades as any other.
    QTRY_VERIFY_WITH_TIMEOUT(
        !label("labelTransmissionState")->styleSheet().contains(QLatin1String(",100%)")), SettleMs);
}

QTEST_MAIN(tst_WindowState)
#include "tst_windowstate.moc"
