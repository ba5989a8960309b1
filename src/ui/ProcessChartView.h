#pragma once

#include <QtCharts/QChartView>

#include <QPoint>
#include <QPointer>
#include <QString>

#include <deque>

class QRubberBand;
class SampleHistory;

namespace QtCharts {
class QCategoryAxis;
class QLegendMarker;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
} // namespace QtCharts

// The process chart: the volume delivered (ml, left axis) and the flow rate set (ml/min, right
// axis) over time, with a mark where the pump started or stopped. Drawn from the session's
// history thinned to two points per pixel column, so a day of samples draws as fast as a minute.
// Drag pans, the wheel zooms around the pointer, a rectangle drawn with the right button (or
// with Shift and the left one) zooms to it; a legend entry clicked hides or shows its curve.
class ProcessChartView : public QtCharts::QChartView
{
    Q_OBJECT

public:
    // Follow: the newest minute, moving with every sample. FitAll: the whole history, growing
    // with it. Free: where the operator panned or zoomed to; new samples do not move it.
    enum class Mode { Follow, FitAll, Free };
    static constexpr qint64 FollowSpanMs = 60 * 1000;
    // The shortest time range a zoom goes down to.
    static constexpr qint64 MinimumSpanMs = 2 * 1000;

    explicit ProcessChartView(const SampleHistory *history, QWidget *parent = nullptr);

    Mode mode() const { return viewMode; }
    void follow();
    void fitAll();
    // A sample was added: drawn at once while the chart is visible, else when it is shown.
    void historyChanged();
    // Draws the history again for the current mode.
    void refresh();
    bool saveImage(const QString &path);

    // Visible range in milliseconds since 1970, UTC.
    qint64 fromMs() const { return shownFrom; }
    qint64 toMs() const { return shownTo; }

    // The operator's moves, also for tests: in pixels of the view.
    void panBy(const QPoint &pixels);
    void zoomAround(int x, double factor);
    void zoomTo(const QRect &pixels);

    QtCharts::QLineSeries *volumeSeries() const { return volume; }
    QtCharts::QLineSeries *flowSeries() const { return flow; }
    QtCharts::QScatterSeries *startSeries() const { return started; }
    QtCharts::QScatterSeries *stopSeries() const { return stopped; }

    // A run picked elsewhere (the journal's): a dashed line where it started and one where it
    // ended (endMs 0: it goes on), each only where it falls within the history kept. False, and
    // nothing marked, when neither does.
    bool markRun(qint64 startMs, qint64 endMs);
    void clearRun();
    // The marked run with a margin either side, as a free range; false when none is marked.
    bool showRun();
    // The lines drawn, for tests: two points each, or none.
    QtCharts::QLineSeries *runStartSeries() const { return runStart; }
    QtCharts::QLineSeries *runEndSeries() const { return runEnd; }

    // A program's moment: its start, a step's start or its end, drawn as a vertical line across
    // the plot with its text at the top. The newest MaxMoments are kept; the recording's file
    // holds none of them.
    struct Moment
    {
        enum class Kind { Start, Step, End };
        qint64 ms = 0; // since 1970, UTC
        Kind kind = Kind::Step;
        QString text;
    };
    static constexpr std::size_t MaxMoments = 5000;
    void addMoment(const Moment &moment);
    const std::deque<Moment> &moments() const { return programMoments; }

signals:
    void modeChanged(ProcessChartView::Mode mode);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void setMode(Mode mode);
    void freeRange(qint64 from, qint64 to);
    void toggle(QtCharts::QLegendMarker *marker);
    void placeTimeTicks();
    void placeRunLines();
    int columns() const;
    double msPerPixel() const;

    const SampleHistory *history;
    QtCharts::QLineSeries *volume = nullptr;
    QtCharts::QLineSeries *flow = nullptr;
    QtCharts::QScatterSeries *started = nullptr;
    QtCharts::QScatterSeries *stopped = nullptr;
    QtCharts::QLineSeries *runStart = nullptr;
    QtCharts::QLineSeries *runEnd = nullptr;
    QtCharts::QCategoryAxis *timeAxis = nullptr;
    QtCharts::QValueAxis *volumeAxis = nullptr;
    QtCharts::QValueAxis *flowAxis = nullptr;

    Mode viewMode = Mode::Follow;
    qint64 shownFrom = 0;
    qint64 shownTo = 0;
    // A drawn rectangle fixes both value axes; follow and fit all scale them again.
    bool autoScale = true;
    bool stale = true;

    enum class Drag { None, Pan, Rectangle };
    Drag drag = Drag::None;
    QPoint dragStart;
    QPoint dragLast;
    QPointer<QRubberBand> band;
    // Ticks last placed, to leave the axis alone while they stay.
    qint64 ticksFrom = 0;
    qint64 ticksStep = 0;
    qint64 ticksOffset = 0;
    // The marked run's lines, 0 where there is none.
    qint64 runStartMs = 0;
    qint64 runEndMs = 0;
    std::deque<Moment> programMoments; // in time order
};
