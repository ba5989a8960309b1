// A ramp as the pump runs it: timed runs at equally spaced rates whose whole seconds add up.

#include "program/RampSegments.h"

#include <QtTest>

using Segments = QList<QPair<double, int>>; // rate in ml/min, seconds

class RampSegmentsTest : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void RampSegmentsTest::split_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("forS");
    QTest::addColumn<int>("steps");
    QTest::addColumn<Segments>("expected");

    QTest::newRow("the example: 5 to 20 over a minute in four")
        << 5.0 << 20.0 << 60.0 << 4 << Segments{{5, 15}, {10, 15}, {15, 15}, {20, 15}};
    QTest::newRow("downwards") << 30.0 << 10.0 << 20.0 << 3 << Segments{{30, 7}, {20, 6}, {10, 7}};
    QTest::newRow("seconds that do not divide: each run ends at the nearest whole second")
        << 1.0 << 2.0 << 10.0 << 3 << Segments{{1, 3}, {1.5, 4}, {2, 3}};
    QTest::newRow("rates to the pump's thousandths")
        << 1.0 << 2.0 << 9.0 << 4 << Segments{{1, 2}, {1.333, 3}, {1.667, 2}, {2, 2}};
    QTest::newRow("one step: halfway, the whole time")
        << 4.0 << 8.0 << 30.0 << 1 << Segments{{6, 30}};
    QTest::newRow("shorter than a second a step: never a run without an end")
        << 1.0 << 4.0 << 2.0 << 4 << Segments{{1, 1}, {2, 1}, {3, 1}, {4, 1}};
}

void RampSegmentsTest::split()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, forS);
    QFETCH(int, steps);
    QFETCH(Segments, expected);
    Segments got;
    for (const RampSegments::Segment &s : RampSegments::split(from, to, forS, steps))
        got << qMakePair(s.rateMlMin, s.seconds);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(RampSegmentsTest)
#include "tst_rampsegments.moc"
