// The chart's data: the min/max reduction per pixel column keeps every extreme, and the history
// holds a day of samples, the start and stop marks, and no point for an unknown value.

#include "recorder/MinMaxReduction.h"
#include "recorder/SampleHistory.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

using Point = MinMaxReduction::Point;
using Points = std::vector<Point>;
Q_DECLARE_METATYPE(Points)

namespace {

// Every 700 ms from t0: a random walk with rare spikes of both signs, so that extremes are
// single points in the middle of columns.
Points walk(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> step(0.0, 1.0);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    Points points;
    double v = 0.0;
    for (int i = 0; i < count; ++i) {
        v += step(random);
        double shown = v;
        if (chance(random) < 0.001)
            shown += chance(random) < 0.5 ? 500.0 : -500.0;
        points.push_back({1'000'000 + qint64(i) * 700, shown});
    }
    return points;
}

} // namespace

class tst_ChartData : public QObject
{
    Q_OBJECT

private slots:
    void reductionKeepsEveryExtreme_data();
    void reductionKeepsEveryExtreme();
    void historyHoldsADay();
    void historyMarksStartsAndStops();
};

void tst_ChartData::reductionKeepsEveryExtreme_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("columns");

    const Points day = walk(123'429, 7);
    const qint64 first = day.front().ms;
    const qint64 last = day.back().ms;
    QTest::newRow("a day into 800 columns") << day << first << last << 800;
    QTest::newRow("a day into 1 column") << day << first << last << 1;
    QTest::newRow("an hour out of the middle")
        << day << first + 36'000'000 << first + 39'600'000 << 640;
    QTest::newRow("range wider than the data")
        << day << first - 5'000'000 << last + 5'000'000 << 1000;
    QTest::newRow("uneven columns")
        << walk(10'007, 3) << qint64(1'000'000) << qint64(1'000'000 + 10'006 * 700) << 333;
    Points flat;
    for (int i = 0; i < 5000; ++i)
        flat.push_back({qint64(i) * 10, 4.0});
    flat[2500].value = 4.5; // one lone peak on a flat line
    QTest::newRow("a flat line with one peak") << flat << qint64(0) << qint64(49'990) << 7;
    QTest::newRow("fewer points than columns")
        << walk(300, 5) << qint64(1'000'000) << qint64(1'000'000 + 299 * 700) << 400;
}

void tst_ChartData::reductionKeepsEveryExtreme()
{
    QFETCH(Points, points);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, columns);

    const std::vector<Point> out = MinMaxReduction::reduce(points, from, to, columns);
    // The index of block extremes changes nothing but the time it takes.
    std::vector<MinMaxReduction::Block> blocks;
    for (std::size_t n = 1; n <= points.size(); n += 1 + n / 3)
        MinMaxReduction::extendIndex(blocks, points.data(), n); // grown piecewise, as samples come
    MinMaxReduction::extendIndex(blocks, points.data(), points.size());
    QVERIFY(MinMaxReduction::reduce(points.data(), 0, points.size(), blocks.data(), from, to,
                                    columns) == out);
    // Drawn with fewer points, the line still passes within a quarter pixel of every point.
    const auto [lowest, highest] = std::minmax_element(
        out.begin(), out.end(), [](const Point &a, const Point &b) { return a.value < b.value; });
    const double valuePerPixel = (highest->value - lowest->value + 1.0) / 300.0;
    const std::vector<Point> drawn =
        MinMaxReduction::simplified(out, double(to - from) / columns, valuePerPixel, 0.25);
    QVERIFY(drawn.front() == out.front() && drawn.back() == out.back());
    for (std::size_t i = 0, k = 0; i < out.size(); ++i) {
        while (k + 2 < drawn.size() && drawn[k + 1].ms < out[i].ms)
            ++k;
        const Point &a = drawn[k];
        const Point &b = drawn[k + 1];
        const double line =
            a.value + (b.value - a.value) * double(out[i].ms - a.ms) / double(b.ms - a.ms);
        QVERIFY2(std::abs(line - out[i].value) <= 0.25 * valuePerPixel * (1 + 1e-9),
                 qPrintable(QString::number(i)));
    }
    // Per column of the range (computed here in floating point): its lowest and highest value
    // are in the result.
    std::vector<double> low(std::size_t(columns), INFINITY);
    std::vector<double> high(std::size_t(columns), -INFINITY);
    std::size_t inside = 0;
    for (const Point &p : points) {
        if (p.ms < from || p.ms > to)
            continue;
        ++inside;
        const auto c = std::size_t(std::min<double>(
            columns - 1, std::floor(double(p.ms - from) * columns / double(to - from))));
        low[c] = std::min(low[c], p.value);
        high[c] = std::max(high[c], p.value);
    }
    QVERIFY(inside > 0);
    for (std::size_t c = 0; c < low.size(); ++c) {
        if (std::isinf(low[c]))
            continue;
        for (double wanted : {low[c], high[c]}) {
            const bool found = std::any_of(out.begin(), out.end(), [&](const Point &p) {
                if (p.ms < from || p.ms > to)
                    return false;
                const auto pc = std::size_t(std::min<double>(
                    columns - 1, std::floor(double(p.ms - from) * columns / double(to - from))));
                return pc == c && p.value == wanted;
            });
            QVERIFY2(found, qPrintable(QStringLiteral("column %1 lost %2").arg(c).arg(wanted)));
        }
    }
    if (inside <= std::size_t(2 * columns)) {
        const std::size_t edges = (points.front().ms < from) + (points.back().ms > to);
        QCOMPARE(out.size(), inside + edges);
    }
    // The line runs on to the edges: the nearest points outside the range come along.
    const auto before = std::lower_bound(points.begin(), points.end(), from,
                                         [](const Point &p, qint64 ms) { return p.ms < ms; });
    if (before != points.begin())
        QCOMPARE(out.front(), *(before - 1));
}

void tst_ChartData::historyHoldsADay()
{
    SampleHistory history;
    ProcessSample s;
    const int ticks = int(25LL * 3600 * 1000 / 700); // a day and an hour
    for (int i = 0; i < ticks; ++i) {
        s.timeMs = qint64(i) * 700;
        s.volumeDelivered = i;
        // Known every other tick only: an unknown value leaves no point, never a 0.
        s.flowRate = i % 2 ? std::optional<qint64>(30000) : std::nullopt;
        history.add(s);
    }
    const qint64 last = qint64(ticks - 1) * 700;
    QCOMPARE(history.volume().size(), std::size_t(SampleHistory::SpanMs / 700 + 1));
    QVERIFY(history.volume().front().ms >= last - SampleHistory::SpanMs);
    QVERIFY(std::all_of(history.flow().begin(), history.flow().end(),
                        [](const Point &p) { return p.value == 30.0; }));
    QVERIFY(std::abs(int(history.flow().size()) - int(history.volume().size()) / 2) <= 1);
    // The index of extremes still matches its points after the oldest went.
    const std::vector<Point> kept(history.volume().begin(), history.volume().end());
    QVERIFY(history.volume().reduce(last - 80'000'000, last, 500) ==
            MinMaxReduction::reduce(kept, last - 80'000'000, last, 500));
    s.timeMs = 0; // a clock set back keeps the order the chart relies on
    history.add(s);
    QCOMPARE(history.volume().back().ms, last);
}

void tst_ChartData::historyMarksStartsAndStops()
{
    using RS = ProcessSample::RunState;
    SampleHistory history;
    const std::vector<RS> states = {RS::Unknown, RS::Running, RS::Running, RS::Stopped,
                                    RS::Unknown, RS::Stopped, RS::Priming, RS::Running,
                                    RS::Paused,  RS::Running};
    ProcessSample s;
    for (std::size_t i = 0; i < states.size(); ++i) {
        s.timeMs = qint64(i) * 1000;
        s.runState = states[i];
        s.volumeDelivered = i == 0 ? std::nullopt : std::optional<qint64>(qint64(i) * 1000);
        history.add(s);
    }
    // The first known state is no change; Unknown between two stops is none either; priming
    // into running is still running.
    QString marks;
    for (const SampleHistory::Mark &m : history.marks())
        marks += QStringLiteral("%1%2@%3 ").arg(m.start ? '+' : '-').arg(m.ms / 1000).arg(m.volume);
    QCOMPARE(marks, QStringLiteral("-3@3 +6@6 -8@8 +9@9 "));
}

QTEST_GUILESS_MAIN(tst_ChartData)
#include "tst_chartdata.moc"
