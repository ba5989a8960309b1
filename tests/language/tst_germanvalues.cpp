// The German window against the simulated pump on a pseudo-terminal: a set-point typed with a
// comma or a point reaches the pump as the same value, and the window shows the pump's values
// with the decimal comma.

#include "WindowOnSimulator.h"
#include "ui/WindowLanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr int SettleMs = 6000;

} // namespace

class tst_GermanValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pumpValuesWithComma();
    void typedSetPoint_data();
    void typedSetPoint();

private:
    std::unique_ptr<WindowLanguage> language;
    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig; // let go of the line before the pump hangs up
};

void tst_GermanValues::initTestCase()
{
    language = std::make_unique<WindowLanguage>(QStringLiteral("de"));
    QVERIFY(language->translated());
    mainForm::fadePercent = 100;
    QVERIFY(startWindowOnSimulator(pump, rig));
    // The link's state comes from the layer below the window, translated where it is shown.
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLabel>("labelConnectionState")->text(),
                              QStringLiteral("PUMPE VERBUNDEN"), SettleMs);
}

void tst_GermanValues::cleanupTestCase()
{
    rig.reset();
    pump.reset();
    language.reset();
}

void tst_GermanValues::pumpValuesWithComma()
{
    // The simulated pump starts at 10 ml/min and has delivered nothing.
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLineEdit>("lineEditVolume")->text(),
                              QStringLiteral("10,00"), SettleMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig->find<QLabel>("labelVolumeActual")->text(),
                              QStringLiteral("0,000 ml"), SettleMs);
}

void tst_GermanValues::typedSetPoint_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");  // the queued setting's value, thousandths; empty: none
    QTest::addColumn<QString>("shown"); // the field once the pump answered, or the refusal
    QTest::newRow("decimal comma") << "12,5"
                                   << "12500"
                                   << "12,50";
    QTest::newRow("decimal point") << "7.25"
                                   << "7250"
                                   << "7,250";
    QTest::newRow("thousands separator")
        << "1.000,5"
        << ""
        << "Durchfluss: „1.000,5“ ist keine Zahl (ohne Tausendertrennzeichen schreiben)";
}

void tst_GermanValues::typedSetPoint()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, shown);
    auto *field = rig->find<QLineEdit>("lineEditVolume");
    rig->window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig->window));
    QApplication::setActiveWindow(&rig->window);
    QTest::mouseClick(field, Qt::LeftButton);
    QTRY_VERIFY(field->hasFocus());
    rig->stack.clear();
    field->selectAll();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);

    const QString queued = rig->queued();
    if (sent.isEmpty()) {
        QCOMPARE(queued, QString());
        QCOMPARE(rig->find<QLabel>("labelUserAction")->text(), shown);
        return;
    }
    QVERIFY2(queued.endsWith(QLatin1Char(':') + sent), qPrintable(queued));
    QTRY_COMPARE_WITH_TIMEOUT(field->text(), shown, SettleMs);
}

QTEST_MAIN(tst_GermanValues)
#include "tst_germanvalues.moc"
