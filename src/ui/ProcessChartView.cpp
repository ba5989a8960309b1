#include "ui/ProcessChartView.h"

#include "recorder/SampleHistory.h"
#include "ui/StyleSheets.h"
#include "ui/TimeTicks.h"

#include <QCoreApplication>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace QtCharts;

namespace {

const QColor volumeColour = StyleSheets::chartVolume();
const QColor flowColour = StyleSheets::chartFlow();
const QColor startColour = StyleSheets::chartStart();
const QColor stopColour = StyleSheets::chartStop();
// The remote mark's purple: a run picked elsewhere, not one this chart saw begin.
const QColor runColour(140, 60, 190);
constexpr int TickCount = 6;
// How far, in pixels, a point left out may lie from the line drawn.
constexpr double Tolerance = 0.25;

// The smallest 1, 2, 2.5 or 5 times a power of ten at or above v; at least 1.
double niceCeiling(double v)
{
    if (!(v > 1.0))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(v)));
    for (double step : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (step * power >= v * (1.0 - 1e-12))
            return step * power;
    }
    return 10.0 * power;
}

QVector<QPointF> toPoints(const std::vector<MinMaxReduction::Point> &points)
{
    QVector<QPointF> out;
    out.reserve(int(points.size()));
    for (const MinMaxReduction::Point &p : points)
        out.append(QPointF(double(p.ms), p.value));
    return out;
}

// Highest value inside the range (the reduction adds a neighbour on either side).
double highest(const std::vector<MinMaxReduction::Point> &points, qint64 from, qint64 to)
{
    double top = 0.0;
    for (const MinMaxReduction::Point &p : points) {
        if (p.ms >= from && p.ms <= to)
            top = std::max(top, p.value);
    }
    return top;
}

} // namespace

ProcessChartView::ProcessChartView(const SampleHistory *history, QWidget *parent)
    : QChartView(new QChart(), parent)
    , history(history)
    , volume(new QLineSeries(this))
    , flow(new QLineSeries(this))
    , started(new QScatterSeries(this))
    , stopped(new QScatterSeries(this))
    , runStart(new QLineSeries(this))
    , runEnd(new QLineSeries(this))
    , timeAxis(new QCategoryAxis(this))
    , volumeAxis(new QValueAxis(this))
    , flowAxis(new QValueAxis(this))
{
    QChart *c = chart();
    c->setAnimationOptions(QChart::NoAnimation);
    // Axis numbers with the window's decimal separator.
    c->setLocalizeNumbers(true);
    c->legend()->setAlignment(Qt::AlignTop);
    c->setMargins(QMargins(4, 4, 4, 4));

    // Short legend entries: the axis titles say it in full.
    volume->setName(QCoreApplication::translate("mainScreen", "Volume (ml)"));
    flow->setName(QCoreApplication::translate("mainScreen", "Flow rate (ml/min)"));
    started->setName(QCoreApplication::translate("mainScreen", "Start"));
    stopped->setName(QCoreApplication::translate("mainScreen", "Stop"));
    volume->setPen(QPen(volumeColour, 2));
    flow->setPen(QPen(flowColour, 2));
    started->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    started->setColor(startColour);
    started->setBorderColor(startColour);
    started->setMarkerSize(10);
    stopped->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    stopped->setColor(stopColour);
    stopped->setBorderColor(stopColour);
    stopped->setMarkerSize(9);
    for (QAbstractSeries *s :
         {static_cast<QAbstractSeries *>(volume), static_cast<QAbstractSeries *>(flow),
          static_cast<QAbstractSeries *>(started), static_cast<QAbstractSeries *>(stopped)})
        c->addSeries(s);

    timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis->setTitleText(QCoreApplication::translate("mainScreen", "Time"));
    volumeAxis->setTitleText(QCoreApplication::translate("mainScreen", "Volume delivered (ml)"));
    volumeAxis->setTitleBrush(volumeColour);
    volumeAxis->setLabelsColor(volumeColour);
    volumeAxis->setTickCount(TickCount);
    flowAxis->setTitleText(QCoreApplication::translate("mainScreen", "Flow rate set (ml/min)"));
    flowAxis->setTitleBrush(flowColour);
    flowAxis->setLabelsColor(flowColour);
    flowAxis->setTickCount(TickCount);
    // The volume's grid serves both: the two axes share their tick positions.
    flowAxis->setGridLineVisible(false);
    c->addAxis(timeAxis, Qt::AlignBottom);
    c->addAxis(volumeAxis, Qt::AlignLeft);
    c->addAxis(flowAxis, Qt::AlignRight);
    for (QAbstractSeries *s :
         {static_cast<QAbstractSeries *>(volume), static_cast<QAbstractSeries *>(started),
          static_cast<QAbstractSeries *>(stopped)}) {
        s->attachAxis(timeAxis);
        s->attachAxis(volumeAxis);
    }
    flow->attachAxis(timeAxis);
    flow->attachAxis(flowAxis);

    for (QLegendMarker *marker : c->legend()->markers()) {
        connect(marker, &QLegendMarker::clicked, this, [this, marker] { toggle(marker); });
        marker->setShape(QLegend::MarkerShapeFromSeries);
    }
    // The run's two lines share one legend entry, shown while a run is marked.
    runStart->setName(QCoreApplication::translate("mainScreen", "Journal run"));
    for (QLineSeries *line : {runStart, runEnd}) {
        line->setPen(QPen(runColour, 2, Qt::DashLine));
        c->addSeries(line);
        line->attachAxis(timeAxis);
        line->attachAxis(volumeAxis);
        for (QLegendMarker *marker : c->legend()->markers(line)) {
            marker->setShape(QLegend::MarkerShapeFromSeries);
            marker->setVisible(false);
        }
    }

    setRenderHint(QPainter::Antialiasing, true);
    setRubberBand(QChartView::NoRubberBand);
    setDragMode(QGraphicsView::NoDrag);
    setMinimumSize(320, 200);
    refresh();
}

void ProcessChartView::toggle(QLegendMarker *marker)
{
    QAbstractSeries *series = marker->series();
    series->setVisible(!series->isVisible());
    // Hiding a series hides its legend entry too; keep the entry, greyed, to bring it back.
    marker->setVisible(true);
    const qreal alpha = series->isVisible() ? 1.0 : 0.4;
    QColor label = marker->labelBrush().color();
    label.setAlphaF(alpha);
    marker->setLabelBrush(label);
    QBrush brush = marker->brush();
    QColor fill = brush.color();
    fill.setAlphaF(alpha);
    brush.setColor(fill);
    marker->setBrush(brush);
    QPen pen = marker->pen();
    QColor line = pen.color();
    line.setAlphaF(alpha);
    pen.setColor(line);
    marker->setPen(pen);
}

void ProcessChartView::setMode(Mode mode)
{
    if (viewMode == mode)
        return;
    viewMode = mode;
    emit modeChanged(mode);
}

void ProcessChartView::follow()
{
    autoScale = true;
    setMode(Mode::Follow);
    refresh();
}

void ProcessChartView::fitAll()
{
    autoScale = true;
    setMode(Mode::FitAll);
    refresh();
}

void ProcessChartView::freeRange(qint64 from, qint64 to)
{
    if (to - from < MinimumSpanMs) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - MinimumSpanMs / 2;
        to = from + MinimumSpanMs;
    }
    // Never further out than a day around what is there.
    const qint64 maxSpan = 2 * SampleHistory::SpanMs;
    if (to - from > maxSpan) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - maxSpan / 2;
        to = from + maxSpan;
    }
    shownFrom = from;
    shownTo = to;
    setMode(Mode::Free);
    refresh();
}

int ProcessChartView::columns() const
{
    const int width = int(chart()->plotArea().width());
    return std::max(width > 0 ? width : this->width(), 1);
}

double ProcessChartView::msPerPixel() const
{
    const qreal width = chart()->plotArea().width();
    return width > 0 ? double(shownTo - shownFrom) / width : 0.0;
}

void ProcessChartView::historyChanged()
{
    if (isVisible())
        refresh();
    else
        stale = true;
}

void ProcessChartView::refresh()
{
    stale = false;
    const qint64 newest =
        history->empty() ? QDateTime::currentMSecsSinceEpoch() : history->lastMs();
    switch (viewMode) {
    case Mode::Follow:
        shownTo = newest;
        shownFrom = newest - FollowSpanMs;
        break;
    case Mode::FitAll:
        shownTo = newest;
        shownFrom = history->empty() ? newest - FollowSpanMs
                                     : std::min(history->firstMs(), newest - MinimumSpanMs);
        break;
    case Mode::Free:
        break;
    }
    const int n = columns();
    const std::vector<MinMaxReduction::Point> v = history->volume().reduce(shownFrom, shownTo, n);
    const std::vector<MinMaxReduction::Point> f = history->flow().reduce(shownFrom, shownTo, n);
    if (autoScale) {
        // From zero: both quantities are amounts, and a flat curve must not fill the plot.
        volumeAxis->setRange(0.0, niceCeiling(highest(v, shownFrom, shownTo) * 1.05));
        flowAxis->setRange(0.0, niceCeiling(highest(f, shownFrom, shownTo) * 1.05));
    }
    // The toolkit's cost is per point handed over: a ramp or a flat run of the set flow rate goes
    // as its two ends, since the rest would land within a quarter of a pixel of the line anyway.
    const double msPerColumn = double(shownTo - shownFrom) / n;
    const qreal height = std::max<qreal>(1.0, chart()->plotArea().height());
    for (auto [series, axis, points] : {std::tuple(volume, volumeAxis, &v), {flow, flowAxis, &f}})
        series->replace(toPoints(MinMaxReduction::simplified(
            *points, msPerColumn, (axis->max() - axis->min()) / height, Tolerance)));

    QVector<QPointF> starts;
    QVector<QPointF> stops;
    for (const SampleHistory::Mark &mark : history->marks()) {
        if (mark.ms < shownFrom || mark.ms > shownTo || std::isnan(mark.volume))
            continue;
        (mark.start ? starts : stops).append(QPointF(double(mark.ms), mark.volume));
    }
    started->replace(starts);
    stopped->replace(stops);
    placeTimeTicks();
    placeRunLines();
}

bool ProcessChartView::markRun(qint64 startMs, qint64 endMs)
{
    const auto kept = [this](qint64 ms) {
        return ms != 0 && !history->empty() && ms >= history->firstMs() && ms <= history->lastMs();
    };
    runStartMs = kept(startMs) ? startMs : 0;
    runEndMs = kept(endMs) ? endMs : 0;
    const bool marked = runStartMs != 0 || runEndMs != 0;
    for (QLegendMarker *marker : chart()->legend()->markers(runStart))
        marker->setVisible(marked);
    placeRunLines();
    return marked;
}

void ProcessChartView::clearRun()
{
    markRun(0, 0);
}

bool ProcessChartView::showRun()
{
    if (runStartMs == 0 && runEndMs == 0)
        return false;
    // A line outside the history stands for a run that began before it or goes on after it.
    const qint64 from = runStartMs != 0 ? runStartMs : history->firstMs();
    const qint64 to = runEndMs != 0 ? runEndMs : history->lastMs();
    const qint64 margin = std::max<qint64>((to - from) / 10, 5000);
    autoScale = true;
    freeRange(from - margin, to + margin);
    return true;
}

void ProcessChartView::placeRunLines()
{
    const auto line = [this](qint64 ms) {
        QVector<QPointF> points;
        if (ms != 0 && ms >= shownFrom && ms <= shownTo)
            points << QPointF(double(ms), volumeAxis->min())
                   << QPointF(double(ms), volumeAxis->max());
        return points;
    };
    runStart->replace(line(runStartMs));
    runEnd->replace(line(runEndMs));
}

void ProcessChartView::placeTimeTicks()
{
    // Round local times, labelled here: the toolkit's date axis asks the time zone for every
    // label on every redraw, which is most of a redraw's cost.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(shownTo).offsetFromUtc()) * 1000;
    const int maxTicks = std::max(2, std::min(8, columns() / 90));
    const qint64 step = TimeTicks::step(shownTo - shownFrom, maxTicks);
    const std::vector<TimeTicks::Tick> ticks =
        TimeTicks::ticks(shownFrom, shownTo, maxTicks, offset);
    const qint64 first = ticks.empty() ? 0 : ticks.front().ms;
    const bool same = first == ticksFrom && step == ticksStep && offset == ticksOffset &&
                      int(ticks.size()) == timeAxis->count();
    if (!same) {
        for (const QString &label : timeAxis->categoriesLabels())
            timeAxis->remove(label);
        for (const TimeTicks::Tick &tick : ticks)
            timeAxis->append(tick.label, double(tick.ms));
        ticksFrom = first;
        ticksStep = step;
        ticksOffset = offset;
    }
    timeAxis->setStartValue(double(shownFrom));
    timeAxis->setRange(double(shownFrom), double(shownTo));
}

bool ProcessChartView::saveImage(const QString &path)
{
    refresh();
    return grab().save(path, "PNG");
}

void ProcessChartView::panBy(const QPoint &pixels)
{
    const double perPixel = msPerPixel();
    const qint64 shift = qint64(std::llround(-pixels.x() * perPixel));
    if (!autoScale && chart()->plotArea().height() > 0) {
        const qreal h = chart()->plotArea().height();
        for (QValueAxis *axis : {volumeAxis, flowAxis}) {
            const double dy = pixels.y() * (axis->max() - axis->min()) / h;
            axis->setRange(axis->min() + dy, axis->max() + dy);
        }
    }
    freeRange(shownFrom + shift, shownTo + shift);
}

void ProcessChartView::zoomAround(int x, double factor)
{
    const QRectF plot = chart()->plotArea();
    if (plot.width() <= 0)
        return;
    const double at = std::clamp((x - plot.left()) / plot.width(), 0.0, 1.0);
    const double pivot = double(shownFrom) + at * double(shownTo - shownFrom);
    const double span = double(shownTo - shownFrom) * factor;
    freeRange(qint64(std::llround(pivot - at * span)),
              qint64(std::llround(pivot - at * span + span)));
}

void ProcessChartView::zoomTo(const QRect &pixels)
{
    const QRectF plot = chart()->plotArea();
    const QRectF r = QRectF(pixels).intersected(plot);
    if (r.width() < 4 || r.height() < 4 || plot.width() <= 0 || plot.height() <= 0)
        return;
    const auto timeAt = [&](qreal x) {
        return shownFrom +
               qint64(std::llround((x - plot.left()) / plot.width() * double(shownTo - shownFrom)));
    };
    for (QValueAxis *axis : {volumeAxis, flowAxis}) {
        const double span = axis->max() - axis->min();
        const double top = axis->max() - (r.top() - plot.top()) / plot.height() * span;
        const double bottom = axis->max() - (r.bottom() - plot.top()) / plot.height() * span;
        axis->setRange(bottom, top);
    }
    autoScale = false;
    freeRange(timeAt(r.left()), timeAt(r.right()));
}

void ProcessChartView::mousePressEvent(QMouseEvent *event)
{
    const bool rectangle =
        event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier));
    if (rectangle && chart()->plotArea().contains(event->pos())) {
        drag = Drag::Rectangle;
        dragStart = event->pos();
        if (!band)
            band = new QRubberBand(QRubberBand::Rectangle, viewport());
        band->setGeometry(QRect(dragStart, QSize()));
        band->show();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && chart()->plotArea().contains(event->pos())) {
        drag = Drag::Pan;
        dragLast = event->pos();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    // Anything else, the legend's clicks among it, goes to the chart.
    QChartView::mousePressEvent(event);
}

void ProcessChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (drag == Drag::Pan) {
        panBy(event->pos() - dragLast);
        dragLast = event->pos();
        event->accept();
        return;
    }
    if (drag == Drag::Rectangle) {
        band->setGeometry(QRect(dragStart, event->pos()).normalized());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ProcessChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (drag == Drag::Pan) {
        drag = Drag::None;
        unsetCursor();
        event->accept();
        return;
    }
    if (drag == Drag::Rectangle) {
        drag = Drag::None;
        band->hide();
        zoomTo(QRect(dragStart, event->pos()).normalized());
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ProcessChartView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        event->ignore();
        return;
    }
    zoomAround(int(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void ProcessChartView::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    refresh();
}

void ProcessChartView::showEvent(QShowEvent *event)
{
    QChartView::showEvent(event);
    if (stale)
        refresh();
}

void ProcessChartView::addMoment(const Moment &moment)
{
    programMoments.push_back(moment);
    while (programMoments.size() > MaxMoments)
        programMoments.pop_front();
    viewport()->update();
}

void ProcessChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    if (programMoments.empty() || !volume->isVisible() || shownTo <= shownFrom)
        return;
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const auto first = std::lower_bound(programMoments.begin(), programMoments.end(), shownFrom,
                                        [](const Moment &m, qint64 ms) { return m.ms < ms; });
    painter->save();
    painter->setClipRect(plot.adjusted(0, -1, 1, 1));
    QFont font = painter->font();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() - 1));
    painter->setFont(font);
    const QFontMetrics metrics(font);
    // Steps closer than their text is wide keep their lines but share one label.
    double labelEnd = -1e9;
    for (auto it = first; it != programMoments.end() && it->ms <= shownTo; ++it) {
        const QPointF at = chart()->mapToScene(
            chart()->mapToPosition(QPointF(double(it->ms), volumeAxis->min()), volume));
        const bool edge = it->kind != Moment::Kind::Step;
        const QColor colour = it->kind == Moment::Kind::End ? stopColour
                              : edge                        ? startColour
                                                            : QColor(120, 120, 120);
        painter->setPen(QPen(colour, edge ? 2 : 1, edge ? Qt::SolidLine : Qt::DotLine));
        painter->drawLine(QPointF(at.x(), plot.top()), QPointF(at.x(), plot.bottom()));
        if (at.x() < labelEnd && !edge)
            continue;
        const QString text = metrics.elidedText(it->text, Qt::ElideRight, 160);
        const int width = metrics.horizontalAdvance(text);
        // Near the right edge the label goes left of its line, so that it stays readable.
        const double x = at.x() + 3 + width > plot.right() ? at.x() - 3 - width : at.x() + 3;
        painter->setPen(colour);
        painter->drawText(
            QPointF(x, plot.top() + metrics.ascent() + 2 + (edge ? 0 : metrics.height())), text);
        if (!edge)
            labelEnd = x + width + 6;
    }
    painter->restore();
}
