// The arithmetic of one wheel notch, without a widget: resolution by decade, acceleration by
// wheel speed, clamping and the texts written back.

#include "pump/WheelStep.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

class tst_WheelStep : public QObject
{
    Q_OBJECT

private slots:
    void decadeExponent_data();
    void decadeExponent();
    void speedFactor_data();
    void speedFactor();
    void decimalNotch_data();
    void decimalNotch();
    void integerNotch_data();
    void integerNotch();
    void anyTextStaysWithinBounds();
};

// ---- resolution and speed

void tst_WheelStep::decadeExponent_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("exponent");

    QTest::newRow("empty field (0): ten decimals") << 0.0 << -10;
    QTest::newRow("1.0: thousandths") << 1.0 << -3;
    QTest::newRow("9.999: still thousandths") << 9.999 << -3;
    QTest::newRow("10.0: hundredths") << 10.0 << -2;
    QTest::newRow("99.99: hundredths") << 99.99 << -2;
    QTest::newRow("100.0: tenths") << 100.0 << -1;
    QTest::newRow("999.9: tenths") << 999.9 << -1;
    QTest::newRow("0.5: below one") << 0.5 << -4;
    QTest::newRow("negative typed value counts as nothing") << -5.0 << -10;
    QTest::newRow("absurdly large value is bounded") << 1e300 << Pump::WheelStep::LargestExponent;
    QTest::newRow("not a number counts as nothing")
        << std::numeric_limits<double>::quiet_NaN() << -10;
}

void tst_WheelStep::decadeExponent()
{
    QFETCH(double, value);
    QFETCH(int, exponent);
    QCOMPARE(Pump::WheelStep::decadeExponent(value), exponent);
}

void tst_WheelStep::speedFactor_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<int>("factor");

    QTest::newRow("first notch after a pause") << 120 << qint64(1000) << 0;
    QTest::newRow("121 ms: slow") << 120 << qint64(121) << 0;
    QTest::newRow("120 ms") << 120 << qint64(120) << 1;
    QTest::newRow("61 ms") << 120 << qint64(61) << 1;
    QTest::newRow("60 ms") << 120 << qint64(60) << 2;
    QTest::newRow("41 ms") << 120 << qint64(41) << 2;
    QTest::newRow("40 ms") << 120 << qint64(40) << 3;
    QTest::newRow("31 ms") << 120 << qint64(31) << 3;
    QTest::newRow("12 ms: capped") << 120 << qint64(12) << 10;
    QTest::newRow("downward notch, 50 ms") << -120 << qint64(50) << 2;
    QTest::newRow("zero interval counts as 1 ms") << 120 << qint64(0) << 10;
    QTest::newRow("double notch of a free-spinning wheel") << 240 << qint64(100) << 2;
}

void tst_WheelStep::speedFactor()
{
    QFETCH(int, delta);
    QFETCH(qint64, intervalMs);
    QFETCH(int, factor);
    QCOMPARE(Pump::WheelStep::speedFactor(delta, intervalMs), factor);
}

// ---- decimal fields (set-point volume or flow, calibration volume)

void tst_WheelStep::decimalNotch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("delta");
    QTest::addColumn<qint64>("intervalMs");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("result");

    // Set-point field bounds are 1.0 ... 999.9, calibration volume 1.0 ... 100.0.
    QTest::newRow("12.50 slow notch up")
        << "12.50" << 120 << qint64(1000) << 1.0 << 999.9 << "12.51";
    QTest::newRow("12.50 notch 50 ms after the last: 73 units")
        << "12.50" << 120 << qint64(50) << 1.0 << 999.9 << "13.23";
    QTest::newRow("12.50 slow notch down")
        << "12.50" << -120 << qint64(1000) << 1.0 << 999.9 << "12.49";
    QTest::newRow("9.999 up crosses into the next decade")
        << "9.999" << 120 << qint64(1000) << 1.0 << 999.9 << "10.000";
    QTest::newRow("10.000 up steps by hundredths")
        << "10.000" << 120 << qint64(1000) << 1.0 << 999.9 << "10.01";
    QTest::newRow("10.00 down keeps the decade's decimals")
        << "10.00" << -120 << qint64(1000) << 1.0 << 999.9 << "9.99";
    QTest::newRow("500.0 at 35 ms: 244 tenths")
        << "500.0" << 120 << qint64(35) << 1.0 << 999.9 << "524.4";
    QTest::newRow("100.0 at 100 ms: 10 tenths")
        << "100.0" << 120 << qint64(100) << 1.0 << 999.9 << "101.0";
    QTest::newRow("999.9 up stays at the maximum")
        << "999.9" << 120 << qint64(1000) << 1.0 << 999.9 << "999.9";
    QTest::newRow("empty field up: minimum with ten decimals")
        << "" << 120 << qint64(1000) << 1.0 << 999.9 << "1.0000000000";
    QTest::newRow("empty field down: minimum with ten decimals")
        << "" << -120 << qint64(1000) << 1.0 << 999.9 << "1.0000000000";
    QTest::newRow("text that is not a number steps from 0")
        << "abc" << 120 << qint64(1000) << 1.0 << 999.9 << "1.0000000000";
    QTest::newRow("1.000 down stays at the minimum")
        << "1.000" << -120 << qint64(1000) << 1.0 << 999.9 << "1.000";
    QTest::newRow("fast spin down clamps at the minimum")
        << "12.50" << -120 << qint64(5) << 1.0 << 999.9 << "1.00";
    QTest::newRow("calibration volume 100.0 up clamps")
        << "100.0" << 120 << qint64(1000) << 1.0 << 100.0 << "100.0";
    QTest::newRow("calibration volume 99.99 up reaches 100")
        << "99.99" << 120 << qint64(1000) << 1.0 << 100.0 << "100.00";
    QTest::newRow("absurd typed value clamps to a maximum shown with its decimals")
        << "1e300" << 120 << qint64(1000) << 1.0 << 999.9 << "999.9";
    QTest::newRow("typed 20000 in a 100.0 field")
        << "20000" << -120 << qint64(1000) << 1.0 << 100.0 << "100.0";
    QTest::newRow("\"nan\" counts as not a number")
        << "nan" << 120 << qint64(1000) << 1.0 << 999.9 << "1.0000000000";
    QTest::newRow("\"inf\" counts as not a number")
        << "inf" << -120 << qint64(1000) << 1.0 << 999.9 << "1.0000000000";
}

void tst_WheelStep::decimalNotch()
{
    QFETCH(QString, text);
    QFETCH(int, delta);
    QFETCH(qint64, intervalMs);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, result);
    QCOMPARE(Pump::WheelStep::decimal(text, delta, intervalMs, minimum, maximum).text, result);
}

// ---- integer fields (time, cycles, pause, factory values)

void tst_WheelStep::integerNotch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("result");

    QTest::newRow("\"INF\" cycles one notch down")
        << "INF" << -120 << 0.0 << 0.0 << 1000.0 << "999";
    QTest::newRow("\"INF\" cycles up stays at 1000")
        << "INF" << 120 << 0.0 << 0.0 << 1000.0 << "1000";
    QTest::newRow("time field at 00 notch down borrows: -1")
        << "00" << -120 << 0.0 << -1.0 << 60.0 << "-1";
    QTest::newRow("time field at 59 notch up carries: 60")
        << "59" << 120 << 0.0 << -1.0 << 60.0 << "60";
    QTest::newRow("time field at 60 up stays") << "60" << 120 << 0.0 << -1.0 << 60.0 << "60";
    QTest::newRow("time field at -1 down stays") << "-1" << -120 << 0.0 << -1.0 << 60.0 << "-1";
    QTest::newRow("cycles 0 up") << "0" << 120 << 0.0 << 0.0 << 1000.0 << "1";
    QTest::newRow("other text counts as 0") << "OFF" << 120 << 0.0 << 0.0 << 1000.0 << "1";
    QTest::newRow("pause time empty down clamps at its minimum")
        << "" << -120 << 0.0 << 1.0 << 100.0 << "1";
    QTest::newRow("speed factor 1 steps by 10") << "20" << 120 << 1.0 << 0.0 << 1000.0 << "30";
    QTest::newRow("speed factor 2 steps by 73") << "20" << 120 << 2.0 << 0.0 << 1000.0 << "93";
}

void tst_WheelStep::integerNotch()
{
    QFETCH(QString, text);
    QFETCH(int, delta);
    QFETCH(double, speed);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, result);
    QCOMPARE(Pump::WheelStep::integer(text, delta, speed, minimum, maximum).text, result);
}

// ---- property check over arbitrary texts

void tst_WheelStep::anyTextStaysWithinBounds()
{
    // Whatever the operator typed, a notch writes back a plain number inside the bounds.
    QRandomGenerator random(20240605);
    const QStringList seeds = {"",     "INF",  "nan", "-inf", "1e309",  "-1e309", "0x1F",
                               "12,5", " 7 ",  "--1", "1e-9", "999.95", "abc",    "0.0005",
                               "-0",   "1e15", "+3",  ".5",   "5.",     "1e-320"};
    for (int i = 0; i < 20000; ++i) {
        QString text;
        switch (random.bounded(3)) {
        case 0:
            text = seeds.at(random.bounded(seeds.size()));
            break;
        case 1:
            text =
                QString::number(random.generateDouble() * 2400.0 - 200.0, 'f', random.bounded(6));
            break;
        default:
            for (int n = random.bounded(8); n > 0; --n)
                text += QChar(char(random.bounded(32, 127)));
        }
        const int delta = (random.bounded(2) ? 1 : -1) * 120 * (1 + random.bounded(3));
        const qint64 interval = random.bounded(0, 1200);
        const double minimum = random.bounded(3) - 1.0;
        const double maximum = minimum + 1.0 + random.bounded(1000);

        const Pump::WheelStep decimal =
            Pump::WheelStep::decimal(text, delta, interval, minimum, maximum);
        const Pump::WheelStep integer =
            Pump::WheelStep::integer(text, delta, 0.0, minimum, maximum);
        for (const Pump::WheelStep &step : {decimal, integer}) {
            bool ok = false;
            const double shown = step.text.toDouble(&ok);
            if (!ok || !std::isfinite(shown) || step.value < minimum || step.value > maximum)
                QFAIL(qPrintable(QString("text \"%1\", delta %2, interval %3, bounds %4..%5 "
                                         "gave \"%6\"")
                                     .arg(text)
                                     .arg(delta)
                                     .arg(interval)
                                     .arg(minimum)
                                     .arg(maximum)
                                     .arg(step.text)));
        }
    }
}

QTEST_APPLESS_MAIN(tst_WheelStep)
#include "tst_wheelstep.moc"
