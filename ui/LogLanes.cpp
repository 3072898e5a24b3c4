// The lanes of the log window on Qt Charts: axes, labels, cursor and markers of one strip.
#include "ui/LogLanes.h"

#include "ui/DiagramWindow.h"
#include "ui/LogWindow.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDrag>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLineSeries>
#include <QMimeData>
#include <QMouseEvent>
#include <QRubberBand>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace velmoro {

namespace {

constexpr int kDragThresholdPx = 4;
constexpr int kMaxMarkers = 400; // drawn per lane; more only crowd the strip

} // namespace

QColor CurveColour(int i)
{
    if (i < kDiagramCurves)
        return DiagramCurveColour(i);
    return QColor::fromHsv((i * 47) % 360, 200, 200);
}

double TickStepMs(double spanMs, int wanted, bool longLog)
{
    const double raw = spanMs / std::max(1, wanted);
    if (longLog && raw >= 1000) {
        static const double steps[] = {1e3,   2e3,   5e3,   10e3,  15e3,   30e3,   60e3,
                                       120e3, 300e3, 600e3, 900e3, 1800e3, 3600e3, 7200e3};
        for (double s : steps)
            if (s >= raw)
                return s;
        return 7200e3 * std::ceil(raw / 7200e3);
    }
    const double power = std::pow(10.0, std::floor(std::log10(std::max(raw, 1e-3))));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

int TickDecimals(double stepMs)
{
    if (stepMs >= 1000)
        return 0;
    return std::clamp(int(std::ceil(-std::log10(stepMs / 1000.0) - 1e-9)), 1, 3);
}

QString FormatLogTime(double timeMs, bool longLog, int decimals)
{
    if (!longLog) {
        const double seconds = timeMs / 1000.0;
        if (decimals < 0)
            decimals = std::abs(seconds - std::round(seconds)) < 1e-6             ? 0
                       : std::abs(seconds * 10 - std::round(seconds * 10)) < 1e-6 ? 1
                                                                                  : 2;
        return QString::number(seconds, 'f', decimals);
    }
    decimals = std::max(0, decimals);
    const double scale = std::pow(10.0, decimals);
    // Rounded to the shown decimals first, so 59.96 s with one decimal reads 1:00.0, not 0:60.0.
    const double rounded = std::round(timeMs / 1000.0 * scale) / scale;
    const qint64 total = qint64(std::floor(rounded + 1e-9));
    const qint64 hours = total / 3600;
    const qint64 minutes = (total / 60) % 60;
    const qint64 seconds = total % 60;
    QString mmss = QStringLiteral("%1:%2")
                       .arg(hours > 0 ? QStringLiteral("%1").arg(minutes, 2, 10, QLatin1Char('0'))
                                      : QString::number(minutes))
                       .arg(seconds, 2, 10, QLatin1Char('0'));
    if (decimals > 0) {
        const QString fraction = QString::number(rounded - double(total), 'f', decimals);
        mmss += fraction.mid(fraction.indexOf(QLatin1Char('.')));
    }
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + mmss : mmss;
}

LogLaneView::LogLaneView(LogWindow* window, bool bitLane)
    : QChartView(new QChart), window_(window), bitLane_(bitLane)
{
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(false);
    setFrameShape(QFrame::NoFrame);
    setMinimumHeight(kLaneMinHeight);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    QChart* c = chart();
    c->setAnimationOptions(QChart::NoAnimation);
    c->setBackgroundRoundness(0);
    c->setMargins(QMargins(kLaneLeft, kLaneTop, kLaneRight, kLaneBottom));
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->setShowToolTips(true); // a label cut short shows in full under the pointer
    c->legend()->hide();

    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis_->setLabelsVisible(false);
    c->addAxis(timeAxis_, Qt::AlignBottom);
    valueAxis_ = new QValueAxis;
    valueAxis_->setLabelsVisible(false); // drawn as our own labels inside the fixed margin
    valueAxis_->setTickCount(bitLane ? 2 : 3);
    valueAxis_->setGridLineVisible(!bitLane);
    c->addAxis(valueAxis_, Qt::AlignLeft);

    title_ = new QGraphicsSimpleTextItem(c);
    title_->setZValue(12);
    cursorLine_ = new QGraphicsLineItem(c);
    cursorLine_->setPen(QPen(QColor(204, 0, 0), 1.5));
    cursorLine_->setZValue(10);
    cursorTextBack_ = new QGraphicsRectItem(c);
    cursorTextBack_->setBrush(QColor(255, 255, 255, 220));
    cursorTextBack_->setPen(Qt::NoPen);
    cursorTextBack_->setZValue(11);
    cursorText_ = new QGraphicsSimpleTextItem(c);
    cursorText_->setBrush(QColor(204, 0, 0));
    cursorText_->setZValue(12);
    connect(c, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        // The curves are thinned for the plot's real width: drawn again when it changes.
        if (int(area.width()) != drawnWidth_ && area.width() > 0) {
            drawnWidth_ = int(area.width());
            window_->LaneResized(this);
        }
        PlaceItems();
    });
}

void LogLaneView::AddCurve(const LaneCurve& curve, const QString& name, const QPen& pen)
{
    LaneCurve added = curve;
    added.series = new QLineSeries;
    added.series->setName(name);
    added.series->setPen(pen);
    chart()->addSeries(added.series);
    added.series->attachAxis(timeAxis_);
    added.series->attachAxis(valueAxis_);
    curves_.push_back(added);
}

void LogLaneView::SetTimeLabels(bool shown)
{
    timeLabels_ = shown;
    timeAxis_->setLabelsVisible(shown);
    UpdateMinimumHeight();
}

void LogLaneView::SetPlotMinimumHeight(int pixels)
{
    plotMinimumHeight_ = pixels;
    UpdateMinimumHeight();
}

void LogLaneView::UpdateMinimumHeight()
{
    setMinimumHeight(plotMinimumHeight_ + (timeLabels_ ? kLaneTimeLabels : 0) +
                     (legendShown_ ? kLaneLegend : 0));
}

void LogLaneView::SetTitle(const QString& title, const QString& tooltip)
{
    title_->setText(title);
    setToolTip(tooltip);
    PlaceItems();
}

void LogLaneView::SetLegendShown(bool shown)
{
    legendShown_ = shown;
    chart()->legend()->setVisible(shown);
    UpdateMinimumHeight();
}

void LogLaneView::SetValueRange(double low, double high)
{
    const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(low) * 0.05);
    valueAxis_->setRange(low - margin, high + margin);
    valueAxis_->setTickCount(3);
    valueAxis_->applyNiceNumbers();
    scale_.clear();
    const int ticks = valueAxis_->tickCount();
    const double min = valueAxis_->min();
    const double max = valueAxis_->max();
    for (int i = 0; i < ticks; ++i) {
        const double v = min + (max - min) * i / std::max(1, ticks - 1);
        scale_.emplace_back(v, QString::number(std::abs(v) < 1e-9 * (max - min) ? 0.0 : v, 'g', 4));
    }
    PlaceItems();
}

void LogLaneView::SetBitRows(const QStringList& names)
{
    valueAxis_->setRange(0, std::max<qsizetype>(1, names.size()));
    valueAxis_->setTickCount(int(std::max<qsizetype>(2, names.size() + 1)));
    valueAxis_->setGridLineVisible(true);
    valueAxis_->setGridLineColor(QColor(235, 235, 235));
    scale_.clear();
    for (qsizetype i = 0; i < names.size(); ++i)
        scale_.emplace_back(double(i) + 0.5, names[i]);
    PlaceItems();
}

QStringList LogLaneView::ScaleLabels() const
{
    QStringList labels;
    for (const auto& [value, text] : scale_)
        labels << text;
    return labels;
}

int LogLaneView::PlotColumns() const
{
    return std::max(1, int(chart()->plotArea().width()));
}

void LogLaneView::SetTimeRange(double fromMs, double toMs, bool longLog)
{
    fromMs_ = fromMs;
    toMs_ = std::max(toMs, fromMs + 1e-6);
    const QStringList old = timeAxis_->categoriesLabels();
    for (const QString& label : old)
        timeAxis_->remove(label);
    const double step = TickStepMs(toMs_ - fromMs_, std::max(2, PlotColumns() / 90), longLog);
    const int decimals = longLog ? TickDecimals(step) : (step < 1000 ? TickDecimals(step) : -1);
    timeAxis_->setStartValue(fromMs_ / 1000.0);
    for (double t = std::ceil(fromMs_ / step) * step; t <= toMs_ + 1e-6; t += step) {
        const QString label = FormatLogTime(t, longLog, decimals);
        if (!timeAxis_->categoriesLabels().contains(label))
            timeAxis_->append(label, t / 1000.0);
    }
    timeAxis_->setRange(fromMs_ / 1000.0, toMs_ / 1000.0);
    PlaceItems();
}

void LogLaneView::SetCursor(double timeMs, const QString& valueText)
{
    cursorMs_ = timeMs;
    cursorValue_ = valueText;
    PlaceItems();
}

void LogLaneView::SetMarkers(const std::vector<std::pair<double, QColor>>& markers)
{
    markers_ = markers;
    PlaceItems();
}

QString LogLaneView::CursorText() const
{
    return cursorValue_;
}

int LogLaneView::ShownMarkerCount() const
{
    return int(std::count_if(markerLines_.begin(), markerLines_.end(),
                             [](const QGraphicsLineItem* line) { return line->isVisible(); }));
}

double LogLaneView::XToMs(double viewX) const
{
    const QPointF inChart = chart()->mapFromScene(mapToScene(QPoint(int(viewX), 0)));
    const QRectF area = chart()->plotArea();
    if (area.width() <= 0)
        return fromMs_;
    return fromMs_ + (inChart.x() - area.left()) / area.width() * (toMs_ - fromMs_);
}

QPointF LogLaneView::MsToView(double timeMs) const
{
    const QRectF area = chart()->plotArea();
    const double x = area.left() + (timeMs - fromMs_) / (toMs_ - fromMs_) * area.width();
    return mapFromScene(chart()->mapToScene(QPointF(x, area.center().y())));
}

void LogLaneView::PlaceItems()
{
    const QRectF area = chart()->plotArea();
    title_->setPos(4, 2);
    const auto xOf = [&](double ms) {
        return area.left() + (ms - fromMs_) / (toMs_ - fromMs_) * area.width();
    };
    const bool inside = cursorMs_ >= fromMs_ && cursorMs_ <= toMs_ && area.width() > 0;
    cursorLine_->setVisible(inside);
    cursorText_->setVisible(inside && !cursorValue_.isEmpty());
    cursorTextBack_->setVisible(cursorText_->isVisible());
    if (inside) {
        const double x = xOf(cursorMs_);
        cursorLine_->setLine(x, area.top(), x, area.bottom());
        cursorText_->setText(cursorValue_);
        const QRectF box = cursorText_->boundingRect();
        // Right of the line, or left of it near the right edge.
        const double tx = x + 4 + box.width() > area.right() ? x - 4 - box.width() : x + 4;
        cursorText_->setPos(tx, area.top() + 1);
        cursorTextBack_->setRect(QRectF(tx - 1, area.top() + 1, box.width() + 2, box.height()));
    }

    while (scaleItems_.size() < scale_.size()) {
        auto* item = new QGraphicsSimpleTextItem(chart());
        QFont font = item->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        item->setFont(font);
        item->setBrush(QColor(80, 80, 80));
        scaleItems_.push_back(item);
    }
    const double min = valueAxis_->min();
    const double max = valueAxis_->max();
    for (size_t i = 0; i < scaleItems_.size(); ++i) {
        QGraphicsSimpleTextItem* item = scaleItems_[i];
        item->setVisible(i < scale_.size() && area.height() > 0 && max > min);
        if (!item->isVisible())
            continue;
        item->setText(scale_[i].second);
        const QRectF box = item->boundingRect();
        const double y = area.bottom() - (scale_[i].first - min) / (max - min) * area.height();
        item->setPos(area.left() - 5 - box.width(),
                     std::clamp(y - box.height() / 2, area.top() - box.height() / 2,
                                area.bottom() - box.height() / 2));
    }

    int used = 0;
    for (const auto& [timeMs, colour] : markers_) {
        if (timeMs < fromMs_ || timeMs > toMs_ || used >= kMaxMarkers)
            continue;
        if (size_t(used) == markerLines_.size()) {
            auto* line = new QGraphicsLineItem(chart());
            line->setZValue(9);
            markerLines_.push_back(line);
        }
        QGraphicsLineItem* line = markerLines_[size_t(used++)];
        QPen pen(colour, 1.5, Qt::DashLine);
        line->setPen(pen);
        const double x = xOf(timeMs);
        line->setLine(x, area.top(), x, area.bottom());
        line->setVisible(area.width() > 0);
    }
    for (size_t i = size_t(used); i < markerLines_.size(); ++i)
        markerLines_[i]->setVisible(false);
}

bool LogLaneView::OnLegend(const QPointF& viewPos) const
{
    if (!legendShown_)
        return false;
    const QPointF inChart = chart()->mapFromScene(mapToScene(viewPos.toPoint()));
    return chart()->legend()->geometry().contains(inChart);
}

void LogLaneView::wheelEvent(QWheelEvent* event)
{
    const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    window_->ZoomAt(XToMs(event->position().x()), factor);
    event->accept();
}

void LogLaneView::mousePressEvent(QMouseEvent* event)
{
    legendPress_ = event->button() == Qt::LeftButton && OnLegend(event->position());
    if (legendPress_) {
        QChartView::mousePressEvent(event); // the legend marker hides or shows its curve
        return;
    }
    pressX_ = event->position().x();
    pressPos_ = event->position();
    lastX_ = pressX_;
    dragged_ = false;
    titlePress_ = event->button() == Qt::LeftButton && onDropLane &&
                  chart()->mapFromScene(mapToScene(event->position().toPoint())).y() <
                      chart()->plotArea().top() - (legendShown_ ? kLaneLegend : 0);
    if (event->button() == Qt::RightButton) {
        if (!band_)
            band_ = new QRubberBand(QRubberBand::Rectangle, this);
        band_->setGeometry(QRect(int(pressX_), 0, 1, height()));
        band_->show();
    }
    event->accept();
}

void LogLaneView::mouseMoveEvent(QMouseEvent* event)
{
    if (legendPress_) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    const double x = event->position().x();
    if (std::abs(x - pressX_) >= kDragThresholdPx)
        dragged_ = true;
    if (titlePress_ && (event->buttons() & Qt::LeftButton)) {
        // Dragged by its name: the lane can be dropped onto another to share it.
        if ((event->position() - pressPos_).manhattanLength() < kDragThresholdPx)
            return;
        titlePress_ = false;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setData(QLatin1String(kLaneMimeType), QByteArray::number(index));
        drag->setMimeData(data);
        drag->setPixmap(grab(QRect(0, 0, width(), kLaneTop)));
        drag->exec(Qt::MoveAction);
        return; // the lanes may be rebuilt by now: nothing more of this one is touched
    }
    if (event->buttons() & Qt::RightButton) {
        if (band_)
            band_->setGeometry(QRect(QPoint(int(std::min(x, pressX_)), 0),
                                     QSize(int(std::abs(x - pressX_)) + 1, height())));
    } else if ((event->buttons() & Qt::LeftButton) && dragged_) {
        window_->PanByMs(XToMs(lastX_) - XToMs(x));
        lastX_ = x;
    }
    event->accept();
}

void LogLaneView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QLatin1String(kLaneMimeType)) && onDropLane &&
        event->mimeData()->data(QLatin1String(kLaneMimeType)).toInt() != index)
        event->acceptProposedAction();
    else
        event->ignore();
}

void LogLaneView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(QLatin1String(kLaneMimeType)) && onDropLane)
        event->acceptProposedAction();
    else
        event->ignore();
}

void LogLaneView::dropEvent(QDropEvent* event)
{
    bool ok = false;
    const int from = event->mimeData()->data(QLatin1String(kLaneMimeType)).toInt(&ok);
    if (!ok || !onDropLane || from == index) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    onDropLane(this, from);
}

void LogLaneView::mouseReleaseEvent(QMouseEvent* event)
{
    titlePress_ = false;
    if (legendPress_) {
        legendPress_ = false;
        QChartView::mouseReleaseEvent(event);
        return;
    }
    const double x = event->position().x();
    if (event->button() == Qt::RightButton) {
        if (band_)
            band_->hide();
        if (dragged_)
            window_->SetVisibleRange(XToMs(std::min(x, pressX_)), XToMs(std::max(x, pressX_)));
        else if (onMenu)
            onMenu(this, event->globalPosition().toPoint());
    } else if (event->button() == Qt::LeftButton && !dragged_) {
        window_->SetCursorMs(XToMs(x));
    }
    event->accept();
}

} // namespace velmoro
