// A gradient as two pumps run it: the first pump's share stepping from one percentage to another,
// the second taking the rest, and a share under the pump's lowest rate standing for its step.

#include "program/GradientShares.h"

#include <QtTest>

using Shares = QList<QList<double>>; // seconds, first ml/min, second ml/min

class GradientSharesTest : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void GradientSharesTest::split_data()
{
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("forS");
    QTest::addColumn<int>("steps");
    QTest::addColumn<Shares>("expected");

    QTest::newRow("20 ml/min, 80 % to 20 % over a minute in six")
        << 20.0 << 80.0 << 20.0 << 60.0 << 6
        << Shares{{10, 16, 4},     {10, 13.6, 6.4}, {10, 11.2, 8.8},
                  {10, 8.8, 11.2}, {10, 6.4, 13.6}, {10, 4, 16}};
    QTest::newRow("all of it to one pump at either end: the other stands")
        << 10.0 << 0.0 << 100.0 << 9.0 << 3 << Shares{{3, 0, 10}, {3, 5, 5}, {3, 10, 0}};
    QTest::newRow("a share under 1 ml/min stands, the other keeps its own")
        << 10.0 << 95.0 << 5.0 << 4.0 << 2 << Shares{{2, 9.5, 0}, {2, 0, 9.5}};
    QTest::newRow("thirds to the pump's thousandths, adding up to the total")
        << 10.0 << 100.0 / 3 << 200.0 / 3 << 10.0 << 2
        << Shares{{5, 3.333, 6.667}, {5, 6.667, 3.333}};
    QTest::newRow("seconds that do not divide: whole seconds that add up")
        << 20.0 << 50.0 << 50.0 << 10.0 << 3 << Shares{{3, 10, 10}, {4, 10, 10}, {3, 10, 10}};
}

void GradientSharesTest::split()
{
    QFETCH(double, total);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, forS);
    QFETCH(int, steps);
    QFETCH(Shares, expected);
    Shares got;
    for (const GradientShares::Share &s : GradientShares::split(total, from, to, forS, steps, 1.0))
        got << QList<double>{double(s.seconds), s.firstMlMin, s.secondMlMin};
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(GradientSharesTest)
#include "tst_gradientshares.moc"
