#include "pump/CalibrationByWeight.h"

#include <QtTest>

using Pump::CalibrationByWeight;

Q_DECLARE_METATYPE(std::vector<double>)

class TestCalibrationByWeight : public QObject
{
    Q_OBJECT

private slots:
    void result_data();
    void result();
    void unusable_data();
    void unusable();
};

// Expected values worked out by hand from mass / density and old * nominal / mean.
void TestCalibrationByWeight::result_data()
{
    QTest::addColumn<double>("nominal");
    QTest::addColumn<std::vector<double>>("masses");
    QTest::addColumn<double>("density");
    QTest::addColumn<double>("oldPercent");
    QTest::addColumn<double>("meanMl");
    QTest::addColumn<double>("deviation");
    QTest::addColumn<double>("spread");
    QTest::addColumn<double>("newPercent");
    QTest::addColumn<bool>("inRange");

    QTest::newRow("one dose of water, short") << 10.0 << std::vector<double>{9.71} << 0.998 << 100.0
                                              << 9.72946 << -2.7054 << 0.0 << 102.8 << true;
    QTest::newRow("three doses of water")
        << 10.0 << std::vector<double>{9.70, 9.72, 9.74} << 0.998 << 100.0 << 9.73948 << -2.6052
        << 0.04008 << 102.7 << true;
    QTest::newRow("exact dose") << 10.0 << std::vector<double>{10.0} << 1.0 << 100.0 << 10.0 << 0.0
                                << 0.0 << 100.0 << true;
    QTest::newRow("ethanol, factor kept") << 10.0 << std::vector<double>{7.89} << 0.789 << 110.0
                                          << 10.0 << 0.0 << 0.0 << 110.0 << true;
    QTest::newRow("old factor scaled down") << 20.0 << std::vector<double>{19.0, 19.0} << 1.0
                                            << 95.0 << 19.0 << -5.0 << 0.0 << 100.0 << true;
    QTest::newRow("five doses, spread") << 5.0 << std::vector<double>{5.1, 5.0, 5.2, 4.9, 5.3}
                                        << 1.0 << 100.0 << 5.1 << 2.0 << 0.4 << 98.0 << true;
    QTest::newRow("lowest limit taken")
        << 10.0 << std::vector<double>{12.5} << 1.0 << 100.0 << 12.5 << 25.0 << 0.0 << 80.0 << true;
    QTest::newRow("just below the limit") << 10.0 << std::vector<double>{12.6} << 1.0 << 100.0
                                          << 12.6 << 26.0 << 0.0 << 79.4 << false;
    QTest::newRow("air in the line: far too little")
        << 10.0 << std::vector<double>{7.0} << 0.998 << 100.0 << 7.01403 << -29.8597 << 0.0 << 142.6
        << false;
    QTest::newRow("highest limit from 110") << 10.0 << std::vector<double>{9.1666} << 1.0 << 110.0
                                            << 9.1666 << -8.334 << 0.0 << 120.0 << true;
}

void TestCalibrationByWeight::result()
{
    QFETCH(double, nominal);
    QFETCH(std::vector<double>, masses);
    QFETCH(double, density);
    QFETCH(double, oldPercent);
    QFETCH(double, meanMl);
    QFETCH(double, deviation);
    QFETCH(double, spread);
    QFETCH(double, newPercent);
    QFETCH(bool, inRange);

    const CalibrationByWeight::Result r =
        CalibrationByWeight::compute(nominal, masses, density, oldPercent);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(int(r.volumesMl.size()), int(masses.size()));
    QVERIFY2(std::abs(r.meanMl - meanMl) < 1e-4, qPrintable(QString::number(r.meanMl)));
    QVERIFY2(std::abs(r.deviationPercent - deviation) < 1e-3,
             qPrintable(QString::number(r.deviationPercent)));
    QVERIFY2(std::abs(r.spreadMl - spread) < 1e-4, qPrintable(QString::number(r.spreadMl)));
    QVERIFY2(std::abs(r.newPercent - newPercent) < 1e-9, qPrintable(QString::number(r.newPercent)));
    QCOMPARE(r.inRange, inRange);
    // A refusal tells what to check.
    QCOMPARE(r.verdict.contains(QLatin1String("air in the line")), !inRange);
}

void TestCalibrationByWeight::unusable_data()
{
    QTest::addColumn<double>("nominal");
    QTest::addColumn<std::vector<double>>("masses");
    QTest::addColumn<double>("density");
    QTest::addColumn<double>("oldPercent");
    QTest::addColumn<QString>("says");

    QTest::newRow("no mass") << 10.0 << std::vector<double>{} << 1.0 << 100.0 << "masses";
    QTest::newRow("six masses") << 10.0 << std::vector<double>(6, 10.0) << 1.0 << 100.0 << "masses";
    QTest::newRow("a mass of zero")
        << 10.0 << std::vector<double>{10.0, 0.0} << 1.0 << 100.0 << "tared";
    QTest::newRow("a negative mass")
        << 10.0 << std::vector<double>{-1.0} << 1.0 << 100.0 << "tared";
    QTest::newRow("density zero") << 10.0 << std::vector<double>{10.0} << 0.0 << 100.0 << "density";
    QTest::newRow("nominal below 1 ml")
        << 0.5 << std::vector<double>{0.5} << 1.0 << 100.0 << "nominal";
    QTest::newRow("nominal above 100 ml")
        << 100.5 << std::vector<double>{100.0} << 1.0 << 100.0 << "nominal";
    QTest::newRow("pump's factor unreadable")
        << 10.0 << std::vector<double>{10.0} << 1.0 << 0.0 << "calibration";
}

void TestCalibrationByWeight::unusable()
{
    QFETCH(double, nominal);
    QFETCH(std::vector<double>, masses);
    QFETCH(double, density);
    QFETCH(double, oldPercent);
    QFETCH(QString, says);

    const CalibrationByWeight::Result r =
        CalibrationByWeight::compute(nominal, masses, density, oldPercent);
    QVERIFY(!r.ok());
    QVERIFY2(r.error.contains(says), qPrintable(r.error));
    QVERIFY(r.volumesMl.empty());
    QVERIFY(!r.inRange);
}

QTEST_GUILESS_MAIN(TestCalibrationByWeight)
#include "tst_calibrationbyweight.moc"
