// The process chart as the operator handles it: follow by default, fit all, pan by dragging,
// zoom with the wheel and with a drawn rectangle, legend entries that hide and show their curves,
// and the image written to a PNG file.

#include "recorder/CsvRecorder.h"
#include "recorder/SampleHistory.h"
#include "ui/ChartTab.h"
#include "ui/ProcessChartView.h"

#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtCharts;

namespace {

constexpr qint64 T0 = 1'796'709'877'146;

// Ten minutes at 700 ms: running at 30 ml/min for five, then standing.
void fill(SampleHistory &history, int ticks = 858, int from = 0)
{
    ProcessSample s;
    for (int i = from; i < from + ticks; ++i) {
        s.timeMs = T0 + qint64(i) * 700;
        const bool running = i >= 10 && i < 430;
        s.runState = running ? ProcessSample::RunState::Running : ProcessSample::RunState::Stopped;
        s.flowRate = 30000;
        s.volumeDelivered = qint64(std::min(std::max(i - 10, 0), 420)) * 350;
        history.add(s);
    }
}

// A move with a button held (QTest's own move carries no buttons to a widget).
void drag(QWidget *target, const QPoint &to, Qt::MouseButton held)
{
    QMouseEvent move(QEvent::MouseMove, to, target->mapToGlobal(to), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

QLegendMarker *markerOf(ProcessChartView &view, QAbstractSeries *series)
{
    return view.chart()->legend()->markers(series).value(0);
}

} // namespace

class tst_ChartView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void followsTheNewestMinute();
    void fitAllShowsTheSession();
    void dragPans();
    void wheelZoomsAroundThePointer();
    void rectangleZooms();
    void legendHidesAndShows();
    void savesAPicture();
    void tabButtonsDriveTheView();

private:
    SampleHistory history;
    std::unique_ptr<ProcessChartView> view;
};

void tst_ChartView::init()
{
    history.clear();
    fill(history);
    view = std::make_unique<ProcessChartView>(&history);
    view->resize(800, 450);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->refresh();
}

void tst_ChartView::cleanup()
{
    view.reset();
}

void tst_ChartView::followsTheNewestMinute()
{
    QCOMPARE(view->mode(), ProcessChartView::Mode::Follow);
    QCOMPARE(view->toMs(), history.lastMs());
    QCOMPARE(view->toMs() - view->fromMs(), ProcessChartView::FollowSpanMs);
    fill(history, 10, 858);
    view->historyChanged();
    QCOMPARE(view->toMs(), history.lastMs());
    // The curves hold the visible minute (and the one point on either side).
    const auto points = view->flowSeries()->pointsVector();
    QVERIFY(points.size() >= 80 && points.size() <= 90);
    QCOMPARE(qint64(points.last().x()), history.lastMs());
}

void tst_ChartView::fitAllShowsTheSession()
{
    fill(history, 3000, 858); // about three points per pixel column
    QSignalSpy modes(view.get(), &ProcessChartView::modeChanged);
    view->fitAll();
    QCOMPARE(modes.count(), 1);
    QCOMPARE(view->fromMs(), history.firstMs());
    QCOMPARE(view->toMs(), history.lastMs());
    // Thinned to at most two points per pixel column, and the peak volume is there.
    const auto volume = view->volumeSeries()->pointsVector();
    QVERIFY(volume.size() <= 2 * int(view->chart()->plotArea().width()) + 2);
    const auto top = std::max_element(volume.begin(), volume.end(),
                                      [](auto a, auto b) { return a.y() < b.y(); });
    QCOMPARE(top->y(), 147.0);
    auto *axis = qobject_cast<QValueAxis *>(view->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis && axis->max() >= 147.0 && axis->min() == 0.0);
    // One start and one stop, on the volume curve.
    QCOMPARE(view->startSeries()->count(), 1);
    QCOMPARE(view->stopSeries()->count(), 1);
    QCOMPARE(view->stopSeries()->at(0).y(), 147.0);
    // It keeps growing with the session.
    fill(history, 100, 3858);
    view->historyChanged();
    QCOMPARE(view->toMs(), history.lastMs());
    QCOMPARE(view->fromMs(), history.firstMs());
}

void tst_ChartView::dragPans()
{
    view->fitAll();
    const QRectF plot = view->chart()->plotArea();
    const QPoint at = plot.center().toPoint();
    const qint64 from = view->fromMs();
    const qint64 span = view->toMs() - from;
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    drag(view->viewport(), at + QPoint(100, 0), Qt::LeftButton);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at + QPoint(100, 0));
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    // Dragged right by 100 pixels: earlier times come into view.
    const double perPixel = double(span) / plot.width();
    QVERIFY(std::abs(double(from - view->fromMs()) - 100 * perPixel) <= 2 * perPixel);
    QCOMPARE(view->toMs() - view->fromMs(), span);
    // New samples leave a panned chart where it is.
    const qint64 kept = view->fromMs();
    fill(history, 10, 858);
    view->historyChanged();
    QCOMPARE(view->fromMs(), kept);
}

void tst_ChartView::wheelZoomsAroundThePointer()
{
    view->fitAll();
    const QRectF plot = view->chart()->plotArea();
    const QPoint at(int(plot.left() + plot.width() / 4), int(plot.center().y()));
    const double fraction = (at.x() - plot.left()) / plot.width();
    const double pivot = view->fromMs() + fraction * double(view->toMs() - view->fromMs());
    const qint64 span = view->toMs() - view->fromMs();
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    QVERIFY(std::abs(double(view->toMs() - view->fromMs()) - span * 0.64) < 1000);
    // The time under the pointer stays under it.
    const double stays = view->fromMs() + fraction * double(view->toMs() - view->fromMs());
    QVERIFY(std::abs(stays - pivot) < 1000);
    // Zooming in ends at a few seconds.
    for (int i = 0; i < 40; ++i)
        view->zoomAround(at.x(), 0.5);
    QCOMPARE(view->toMs() - view->fromMs(), ProcessChartView::MinimumSpanMs);
}

void tst_ChartView::rectangleZooms()
{
    view->fitAll();
    const QRectF plot = view->chart()->plotArea();
    auto *volumeAxis = qobject_cast<QValueAxis *>(view->chart()->axes(Qt::Vertical).value(0));
    const double top = volumeAxis->max();
    const QPoint a(int(plot.left() + plot.width() * 0.25), int(plot.top() + plot.height() * 0.5));
    const QPoint b(int(plot.left() + plot.width() * 0.75), int(plot.bottom() - 1));
    const qint64 span = view->toMs() - view->fromMs();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, a);
    drag(view->viewport(), b, Qt::RightButton);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, b);
    QCOMPARE(view->mode(), ProcessChartView::Mode::Free);
    QVERIFY(std::abs(double(view->toMs() - view->fromMs()) - span * 0.5) < span * 0.02);
    // The value axis shows the lower half now and stays there as samples come.
    QVERIFY(std::abs(volumeAxis->max() - top / 2) < top * 0.02);
    QVERIFY(volumeAxis->min() < top * 0.02);
    fill(history, 10, 858);
    view->historyChanged();
    QVERIFY(std::abs(volumeAxis->max() - top / 2) < top * 0.02);
    // Follow scales it again.
    view->follow();
    QCOMPARE(view->mode(), ProcessChartView::Mode::Follow);
    QCOMPARE(view->toMs(), history.lastMs());
    QVERIFY(volumeAxis->max() >= 147.0);
}

void tst_ChartView::legendHidesAndShows()
{
    for (QAbstractSeries *series : {static_cast<QAbstractSeries *>(view->volumeSeries()),
                                    static_cast<QAbstractSeries *>(view->flowSeries()),
                                    static_cast<QAbstractSeries *>(view->startSeries())}) {
        QLegendMarker *marker = markerOf(*view, series);
        QVERIFY(marker);
        emit marker->clicked();
        QVERIFY(!series->isVisible());
        QVERIFY(marker->isVisible()); // greyed, to bring it back
        emit marker->clicked();
        QVERIFY(series->isVisible());
    }
}

void tst_ChartView::savesAPicture()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.png"));
    QVERIFY(view->saveImage(path));
    const QImage image(path);
    QCOMPARE(image.size(), view->size() * view->devicePixelRatioF());
    QVERIFY(!view->saveImage(dir.filePath(QStringLiteral("missing/chart.png"))));
}

void tst_ChartView::tabButtonsDriveTheView()
{
    CsvRecorder recorder;
    ChartTab tab(&recorder, &history, 1);
    tab.resize(800, 500);
    tab.show();
    auto *follow = tab.findChild<QPushButton *>(QStringLiteral("buttonChartFollow"));
    auto *fit = tab.findChild<QPushButton *>(QStringLiteral("buttonChartFitAll"));
    QVERIFY(follow && fit && follow->isChecked());
    fit->click();
    QCOMPARE(tab.chart()->mode(), ProcessChartView::Mode::FitAll);
    QVERIFY(!follow->isChecked());
    follow->click();
    QCOMPARE(tab.chart()->mode(), ProcessChartView::Mode::Follow);
    QVERIFY(follow->isChecked());
    // Follow pressed again while following stays pressed.
    follow->click();
    QVERIFY(follow->isChecked());
    tab.chart()->panBy(QPoint(50, 0));
    QVERIFY(!follow->isChecked());
    QTemporaryDir dir;
    QVERIFY(!tab.saveImage(dir.filePath(QStringLiteral("missing/chart.png"))));
    QVERIFY(tab.findChild<QLabel *>(QStringLiteral("labelRecordState"))
                ->text()
                .contains(QStringLiteral("could not be written")));
}

QTEST_MAIN(tst_ChartView)
#include "tst_chartview.moc"
