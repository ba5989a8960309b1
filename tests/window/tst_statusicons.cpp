#include "WindowRig.h"
#include "pump/StatusFlags.h"

#include <QLabel>
#include <QtTest>

// Status and error flags: which bit of which status group lights which bullet.
class tst_StatusIcons : public QObject
{
    Q_OBJECT

private slots:
    void bullets_data();
    void bullets();
    void tableTextsAreTheScreenTexts();
};

void tst_StatusIcons::bullets_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<bool>("green");

    const auto row = [](const char *name, int group, int word, const char *icon, bool green) {
        QTest::newRow(name) << group << word << QString::fromLatin1(icon) << green;
    };
    row("motor in motion", 1, 1, "labelMotorMotionIcon", true);
    row("motor stopped", 1, 0, "labelMotorMotionIcon", false);
    row("pump error", 1, 2, "labelPumpFaultIcon", true);
    row("display on while bit 2 clear", 1, 0, "labelDisplayOnIcon", true);
    row("display off while bit 2 set", 1, 4, "labelDisplayOnIcon", false);
    row("motor adjusted", 2, 1, "labelMotorAdjustedIcon", true);
    row("input 1 active", 2, 2, "labelInput1ActiveIcon", true);
    row("input 2 active", 2, 4, "labelInput2ActiveIcon", true);
    row("input 2 idle", 2, 2, "labelInput2ActiveIcon", false);
    row("dead centre", 2, 8, "labelMotorLowerDCIcon", true);
    row("run mode active", 3, 1, "labelRunModeActiveIcon", true);
    row("dispense mode active", 4, 1, "labelDispenseModeActiveIcon", true);
    row("master stop active while bit 3 clear", 4, 0, "labelMasterStopActiveIcon", true);
    row("master stop inactive while bit 3 set", 4, 8, "labelMasterStopActiveIcon", false);
    row("overpressure is bit 0", 6, 1, "labelErrorOverpressureIcon", true);
    row("4-20mA too low", 6, 8, "labelError4_20mATooLowIcon", true);
    row("power supply failure", 6, 16, "labelErrorPowerSupplyFailureIcon", true);
    row("motor not adjusted", 6, 32, "labelErrorMotorNotAdjIcon", true);
    row("maximum temperature", 6, 64, "labelErrorMaxTempExceededIcon", true);
    row("no encoder signal is bit 7", 6, 128, "labelErrorNoEncoderSignalIcon", true);
    row("overpressure not from bit 7", 6, 128, "labelErrorOverpressureIcon", false);
    row("no error while group 6 is clear", 6, 0, "labelErrorNoneIcon", true);
    row("no error goes grey with any error", 6, 16, "labelErrorNoneIcon", false);
    // Nothing is said of the errors until group 6 is heard.
    row("group 5 lights nothing", 5, 255, "labelErrorNoneIcon", false);
}

void tst_StatusIcons::bullets()
{
    QFETCH(int, group);
    QFETCH(int, word);
    QFETCH(QString, icon);
    QFETCH(bool, green);

    WindowRig rig;
    const QPixmap greenBullet(QStringLiteral(":/Images/Images/1406229038_bullet-green.png"));
    const QPixmap greyBullet(QStringLiteral(":/Images/Images/1406229026_bullet-grey.png"));
    const std::string answer =
        QStringLiteral("%1 %2").arg(word, 3, 10, QLatin1Char('0')).arg(group).toStdString();
    rig.report(BusinessLogic::CommandSpezifier::GetPumpStatus, answer);
    rig.window.triggerUpdateValues();

    const QLabel *label = rig.find<QLabel>(icon.toLatin1().constData());
    QVERIFY(label != nullptr);
    const QImage shown = label->pixmap(Qt::ReturnByValue).toImage();
    QCOMPARE(shown == greenBullet.toImage(), green);
    QCOMPARE(shown == greyBullet.toImage(), !green);
}

// The recorder names the flags by the table's texts: each must be the text beside its bullet.
void tst_StatusIcons::tableTextsAreTheScreenTexts()
{
    WindowRig rig;
    for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags()) {
        auto *text = rig.find<QLabel>(flag.textLabel);
        QVERIFY2(text && rig.find<QLabel>(flag.iconLabel), flag.text);
        QCOMPARE(text->text(), QString::fromLatin1(flag.text));
    }
    const QString groupOfErrors =
        rig.find<QLabel>("labelErrorNoneIcon")->parentWidget()->objectName();
    for (const Pump::StatusFlags::Flag &flag : Pump::StatusFlags::flags())
        QCOMPARE(rig.find<QLabel>(flag.iconLabel)->parentWidget()->objectName() == groupOfErrors,
                 flag.kind == Pump::StatusFlags::Kind::Error);
}

QTEST_MAIN(tst_StatusIcons)
#include "tst_statusicons.moc"
