// The process chart as the operator handles it: follow by default, fit all, pan by dragging,
// zoom with the wheel and with a drawn rectangle, legend entries that hide and show their curves,
// and the picture written to a PNG file.

#include "recorder/SampleHistory.h"
#include "ui/ProcessChartView.h"

#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtCharts;

namespace {

// Every 700 ms from tick `from` on: running at 30 ml/min from tick 10 to 430, then standing.
void fill(SampleHistory &history, int ticks, int from = 0)
{
    ProcessSample s;
    for (int i = from; i < from + ticks; ++i) {
        s.timeMs = 1'796'709'877'146 + qint64(i) * 700;
        s.runState = i >= 10 && i < 430 ? ProcessSample::RunState::Running
                                        : ProcessSample::RunState::Stopped;
        s.flowRate = 30000;
        s.volumeDelivered = qint64(std::clamp(i - 10, 0, 420)) * 350;
        history.add(s);
    }
}

// A press, a move with the button held (QTest's own move carries no buttons to a widget), a
// release.
void drag(QWidget *target, const QPoint &from, const QPoint &to, Qt::MouseButton button)
{
    QTest::mousePress(target, button, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, target->mapToGlobal(to), Qt::NoButton, button, {});
    QApplication::sendEvent(target, &move);
    QTest::mouseRelease(target, button, {}, to);
}

} // namespace

class tst_ChartView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { view.reset(); }

    void followsTheNewestMinute();
    void fitAllShowsTheSessionThinned();
    void dragPansAndStays();
    void wheelZoomsAroundThePointer();
    void rectangleZoomsBothAxes();
    void legendAndPicture();

private:
    QPoint plotAt(double x, double y) const
    {
        const QRectF p = view->chart()->plotArea();
        return QPoint(int(p.left() + x * p.width()), int(p.top() + y * p.height()));
    }
    qint64 span() const { return view->toMs() - view->fromMs(); }
    QValueAxis *volumeAxis() const
    {
        return qobject_cast<QValueAxis *>(view->chart()->axes(Qt::Vertical).value(0));
    }

    SampleHistory history;
    std::unique_ptr<ProcessChartView> view;
};

void tst_ChartView::init()
{
    history.clear();
    fill(history, 3858); // 45 minutes: about three points per pixel column
    view = std::make_unique<ProcessChartView>(&history);
    view->resize(800, 450);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->refresh();
}

void tst_ChartView::followsTheNewestMinute()
{
    QCOMPARE(view->mode(), ProcessChartView::Mode::Follow);
    QCOMPARE(view->toMs(), history.lastMs());
    QCOMPARE(span(), ProcessChartView::FollowSpanMs);
    fill(history, 10, 3858);
    view->historyChanged();
    QCOMPARE(view->toMs(), history.lastMs());
    // A minute at one flow rate is one segment, from the edge on to the newest sample.
    const auto flow = view->flowSeries()->pointsVector();
    QCOMPARE(flow.size(), 2);
    QVERIFY(flow.first().x() < view->fromMs() && qint64(flow.last().x()) == history.lastMs());
}

void tst_ChartView::fitAllShowsTheSessionThinned()
{
    view->fitAll();
    QCOMPARE(view->fromMs(), history.firstMs());
    QCOMPARE(view->toMs(), history.lastMs());
    const auto volume = view->volumeSeries()->pointsVector();
    QVERIFY(volume.size() <= 2 * int(view->chart()->plotArea().width()) + 2);
    const auto top = std::max_element(volume.begin(), volume.end(),
                                      [](QPointF a, QPointF b) { return a.y() < b.y(); });
    QCOMPARE(top->y(), 147.0);
    QVERIFY(volumeAxis()->min() == 0.0 && volumeAxis()->max() >= 147.0);
    // One start and one stop, on the volume curve.
    QCOMPARE(view->startSeries()->count(), 1);
    QCOMPARE(view->stopSeries()->at(0).y(), 147.0);
    fill(history, 100, 3858);
    view->historyChanged();
    QCOMPARE(view->toMs(), history.lastMs()); // it grows with the session
}

void tst_ChartView::dragPansAndStays()
{
    view->fitAll();
    const qint64 from = view->fromMs();
    const qint64 before = span();
    drag(view->viewport(), plotAt(0.5, 0.5), plotAt(0.5, 0.5) + QPoint(100, 0), Qt::LeftButton);
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    // Dragged right: earlier times come into view, by the time of 100 pixels.
    const double perPixel = double(before) / view->chart()->plotArea().width();
    QVERIFY(std::abs(double(from - view->fromMs()) - 100 * perPixel) <= 2 * perPixel);
    QCOMPARE(span(), before);
    const qint64 kept = view->fromMs();
    fill(history, 10, 3858);
    view->historyChanged();
    QCOMPARE(view->fromMs(), kept);
}

void tst_ChartView::wheelZoomsAroundThePointer()
{
    view->fitAll();
    const QPoint at = plotAt(0.25, 0.5);
    const double pivot = view->fromMs() + 0.25 * double(span());
    const qint64 before = span();
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    QVERIFY(std::abs(double(span()) - before * 0.64) < 1000);
    // The time under the pointer stays under it.
    QVERIFY(std::abs(view->fromMs() + 0.25 * double(span()) - pivot) < 1000);
    for (int i = 0; i < 40; ++i)
        view->zoomAround(at.x(), 0.5);
    QCOMPARE(span(), ProcessChartView::MinimumSpanMs);
}

void tst_ChartView::rectangleZoomsBothAxes()
{
    view->fitAll();
    const double top = volumeAxis()->max();
    const qint64 before = span();
    drag(view->viewport(), plotAt(0.25, 0.5), plotAt(0.75, 0.999), Qt::RightButton);
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    QVERIFY(std::abs(double(span()) - before * 0.5) < before * 0.02);
    // The lower half of the values, kept while samples come in.
    fill(history, 10, 3858);
    view->historyChanged();
    QVERIFY(std::abs(volumeAxis()->max() - top / 2) < top * 0.02);
    QVERIFY(volumeAxis()->min() < top * 0.02);
    view->follow();
    QCOMPARE(view->toMs(), history.lastMs());
    QVERIFY(volumeAxis()->max() >= 147.0);
}

void tst_ChartView::legendAndPicture()
{
    QLegendMarker *marker = view->chart()->legend()->markers(view->flowSeries()).value(0);
    QVERIFY(marker);
    emit marker->clicked();
    QVERIFY(!view->flowSeries()->isVisible());
    QVERIFY(marker->isVisible()); // greyed, to bring the curve back
    emit marker->clicked();
    QVERIFY(view->flowSeries()->isVisible());

    QTemporaryDir dir;
    QVERIFY(view->saveImage(dir.filePath(QStringLiteral("chart.png"))));
    QCOMPARE(QImage(dir.filePath(QStringLiteral("chart.png"))).size(),
             view->size() * view->devicePixelRatioF());
    QVERIFY(!view->saveImage(dir.filePath(QStringLiteral("missing/chart.png"))));
}

QTEST_MAIN(tst_ChartView)
#include "tst_chartview.moc"
