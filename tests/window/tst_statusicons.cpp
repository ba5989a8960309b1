#include "ImageMatch.h"
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
    QTest::addColumn<QString>("bullet");

    // A lit flag is green, a lit error red; an unlit one grey.
    const QString green = QStringLiteral("green"), red = QStringLiteral("red"),
                  grey = QStringLiteral("grey");
    const auto row = [](const char *name, int group, int word, const char *icon,
                        const QString &bullet) {
        QTest::newRow(name) << group << word << QString::fromLatin1(icon) << bullet;
    };
    row("motor in motion", 1, 1, "labelMotorMotionIcon", green);
    row("motor stopped", 1, 0, "labelMotorMotionIcon", grey);
    row("pump error", 1, 2, "labelPumpFaultIcon", red);
    row("display on while bit 2 clear", 1, 0, "labelDisplayOnIcon", green);
    row("display off while bit 2 set", 1, 4, "labelDisplayOnIcon", grey);
    row("motor adjusted", 2, 1, "labelMotorAdjustedIcon", green);
    row("input 1 active", 2, 2, "labelInput1ActiveIcon", green);
    row("input 2 active", 2, 4, "labelInput2ActiveIcon", green);
    row("input 2 idle", 2, 2, "labelInput2ActiveIcon", grey);
    row("dead centre", 2, 8, "labelMotorLowerDCIcon", green);
    row("run mode active", 3, 1, "labelRunModeActiveIcon", green);
    row("dispense mode active", 4, 1, "labelDispenseModeActiveIcon", green);
    row("master stop active while bit 3 clear", 4, 0, "labelMasterStopActiveIcon", green);
    row("master stop inactive while bit 3 set", 4, 8, "labelMasterStopActiveIcon", grey);
    row("overpressure is bit 0", 6, 1, "labelErrorOverpressureIcon", red);
    row("4-20mA too low", 6, 8, "labelError4_20mATooLowIcon", red);
    row("power supply failure", 6, 16, "labelErrorPowerSupplyFailureIcon", red);
    row("motor not adjusted", 6, 32, "labelErrorMotorNotAdjIcon", red);
    row("maximum temperature", 6, 64, "labelErrorMaxTempExceededIcon", red);
    row("no encoder signal is bit 7", 6, 128, "labelErrorNoEncoderSignalIcon", red);
    row("overpressure not from bit 7", 6, 128, "labelErrorOverpressureIcon", grey);
    row("no error while group 6 is clear", 6, 0, "labelErrorNoneIcon", green);
    row("no error goes grey with any error", 6, 16, "labelErrorNoneIcon", grey);
    // Nothing is said of the errors until group 6 is heard.
    row("group 5 lights nothing", 5, 255, "labelErrorNoneIcon", grey);
}

void tst_StatusIcons::bullets()
{
    QFETCH(int, group);
    QFETCH(int, word);
    QFETCH(QString, icon);
    QFETCH(QString, bullet);

    WindowRig rig;
    const QMap<QString, QString> images = {
        {QStringLiteral("green"), QStringLiteral(":/Images/Images/1406229038_bullet-green.png")},
        {QStringLiteral("red"), QStringLiteral(":/Images/Images/bullet-red.png")},
        {QStringLiteral("grey"), QStringLiteral(":/Images/Images/1406229026_bullet-grey.png")}};
    const std::string answer =
        QStringLiteral("%1 %2").arg(word, 3, 10, QLatin1Char('0')).arg(group).toStdString();
    rig.report(BusinessLogic::CommandSpezifier::GetPumpStatus, answer);
    rig.window.triggerUpdateValues();

    const QLabel *label = rig.find<QLabel>(icon.toLatin1().constData());
    QVERIFY(label != nullptr);
    const QImage shown = label->pixmap(Qt::ReturnByValue).toImage();
    for (auto it = images.cbegin(); it != images.cend(); ++it)
        QCOMPARE(ImageMatch::same(shown, QImage(it.value())), it.key() == bullet);
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
