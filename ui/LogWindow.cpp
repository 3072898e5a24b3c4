// The log window on Qt Charts: decimated curves, time axis, cursor, replay, picture and CSV export.
#include "ui/LogWindow.h"

#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "output/LogDecimate.h"
#include "output/LogUnits.h"
#include "ui/DiagramWindow.h"
#include "ui/Layout.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace velmoro {

namespace {

constexpr double kMinSpanMs = 50;
constexpr qint64 kLongLogMs = 5 * 60 * 1000;
constexpr int kReplayTickMs = 40;
constexpr int kDragThresholdPx = 4;

QColor CurveColour(int i)
{
    if (i < kDiagramCurves)
        return DiagramCurveColour(i);
    return QColor::fromHsv((i * 47) % 360, 200, 200);
}

// A tick step of 1, 2 or 5 times a power of ten seconds, or for m:ss labels whole seconds and
// minutes, giving about `wanted` ticks over spanMs.
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

QString WithSuffix(const QString& name, const QString& suffix)
{
    if (name.isEmpty() || name.endsWith(suffix, Qt::CaseInsensitive))
        return name;
    return name + suffix;
}

} // namespace

// The plot: wheel zooms around the pointer, a drag pans, a click sets the cursor, a drag with the
// right button zooms to the band it draws.
class LogChartView : public QChartView {
public:
    LogChartView(QChart* chart, LogWindow* window) : QChartView(chart), window_(window)
    {
        setRenderHint(QPainter::Antialiasing, false);
        setRubberBand(QChartView::NoRubberBand);
        setMouseTracking(false);
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
        window_->ZoomAt(window_->PixelToMs(event->position().x()), factor);
        event->accept();
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        pressX_ = event->position().x();
        lastX_ = pressX_;
        dragged_ = false;
        if (event->button() == Qt::RightButton) {
            if (!band_)
                band_ = new QRubberBand(QRubberBand::Rectangle, this);
            band_->setGeometry(QRect(int(pressX_), 0, 1, height()));
            band_->show();
        }
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const double x = event->position().x();
        if (std::abs(x - pressX_) >= kDragThresholdPx)
            dragged_ = true;
        if (event->buttons() & Qt::RightButton) {
            if (band_)
                band_->setGeometry(QRect(QPoint(int(std::min(x, pressX_)), 0),
                                         QSize(int(std::abs(x - pressX_)) + 1, height())));
        } else if ((event->buttons() & Qt::LeftButton) && dragged_) {
            window_->PanByMs(window_->PixelToMs(lastX_) - window_->PixelToMs(x));
            lastX_ = x;
        }
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const double x = event->position().x();
        if (event->button() == Qt::RightButton) {
            if (band_)
                band_->hide();
            if (dragged_)
                window_->SetVisibleRange(window_->PixelToMs(std::min(x, pressX_)),
                                         window_->PixelToMs(std::max(x, pressX_)));
        } else if (event->button() == Qt::LeftButton && !dragged_) {
            window_->SetCursorMs(window_->PixelToMs(x));
        }
        event->accept();
    }

private:
    LogWindow* window_;
    QRubberBand* band_ = nullptr;
    double pressX_ = 0;
    double lastX_ = 0;
    bool dragged_ = false;
};

QString LogWindowText(LanguageTexts& texts, const QString& key)
{
    return TextOrEnglish(texts, key);
}

QString LogErrorMessage(const LogReadResult& result, const QString& path, LanguageTexts& texts)
{
    const auto t = [&texts](const char* key) { return LogWindowText(texts, QLatin1String(key)); };
    QString reason;
    switch (result.error) {
    case LogError::None:
        return {};
    case LogError::Empty:
        reason = t("Log_12");
        break;
    case LogError::TooLarge:
        reason = t("Log_13").arg(result.detail).arg(kMaxLogBytes / (1024 * 1024));
        break;
    case LogError::CannotOpen:
        reason = t("Log_14").arg(TextOrEnglish(texts, result.detail));
        break;
    case LogError::Binary:
        reason = t("Log_15");
        break;
    case LogError::NoHeader:
        reason = t("Log_16");
        break;
    case LogError::NoValueColumns:
        reason = t("Log_17");
        break;
    case LogError::FieldCount: {
        const QStringList counts = result.detail.split(QLatin1Char('/'));
        reason = t("Log_18").arg(counts.value(0), counts.value(1));
        break;
    }
    case LogError::BadTime:
        reason = t("Log_19").arg(result.detail);
        break;
    case LogError::TimeBackwards:
        reason = t("Log_20").arg(result.detail);
        break;
    case LogError::NoDataLines:
        reason = t("Log_21");
        break;
    }
    QString message =
        QDir::toNativeSeparators(path) + QStringLiteral("\n\n") + t("Log_10") + QLatin1Char('\n');
    if (result.line > 0)
        message += t("Log_11").arg(result.line) + QStringLiteral(": ");
    return message + reason;
}

QString FormatLogTime(double timeMs, bool longLog)
{
    if (!longLog) {
        const double seconds = timeMs / 1000.0;
        const int decimals = std::abs(seconds - std::round(seconds)) < 1e-6             ? 0
                             : std::abs(seconds * 10 - std::round(seconds * 10)) < 1e-6 ? 1
                                                                                        : 2;
        return QString::number(seconds, 'f', decimals);
    }
    const qint64 total = qint64(std::floor(timeMs / 1000.0 + 1e-6));
    const qint64 hours = total / 3600;
    const qint64 minutes = (total / 60) % 60;
    const qint64 seconds = total % 60;
    const QString mmss =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? QStringLiteral("%1").arg(minutes, 2, 10, QLatin1Char('0'))
                           : QString::number(minutes))
            .arg(seconds, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + mmss : mmss;
}

LogWindow::LogWindow(LogData log, const QString& path, LanguageTexts& texts, QWidget* parent,
                     const ReplayClock* clock)
    : QWidget(parent, Qt::Window), log_(std::move(log)), path_(path), texts_(texts),
      units_(ValueUnitsByName(texts)), clock_(clock)
{
    if (!clock_) {
        ownClock_ = std::make_unique<SteadyReplayClock>();
        clock_ = ownClock_.get();
    }
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kWindowTitle + QStringLiteral(" - ") + QFileInfo(path).fileName());
    resize(1000, 680);
    longLog_ = log_.DurationMs() > kLongLogMs;
    fromMs_ = log_.timesMs.empty() ? 0 : log_.timesMs.front();
    toMs_ = std::max(fromMs_ + kMinSpanMs, log_.timesMs.empty() ? 0 : log_.timesMs.back());
    cursorMs_ = fromMs_;

    BuildChart();

    resetButton_ = new QPushButton(Text(QStringLiteral("Log_2")), this);
    normalisedBox_ = new QCheckBox(Text(QStringLiteral("Log_5")), this);
    playButton_ = new QPushButton(Text(QStringLiteral("Log_3")), this);
    speedBox_ = new QComboBox(this);
    speedBox_->setToolTip(Text(QStringLiteral("Log_8")));
    for (int factor : {1, 2, 4, 8})
        speedBox_->addItem(QString::number(factor) + QChar(0x00D7), factor);
    auto* imageButton = new QPushButton(Text(QStringLiteral("Log_6")), this);
    auto* sliceButton = new QPushButton(Text(QStringLiteral("Log_7")), this);
    auto* hint = new QLabel(Text(QStringLiteral("Log_9")), this);
    hint->setWordWrap(true);

    auto* controls = new QHBoxLayout;
    controls->addWidget(resetButton_);
    controls->addWidget(normalisedBox_);
    controls->addSpacing(16);
    controls->addWidget(playButton_);
    controls->addWidget(speedBox_);
    controls->addSpacing(16);
    controls->addWidget(imageButton);
    controls->addWidget(sliceButton);
    controls->addWidget(hint, 1);

    // The values at the cursor, large, like the measurement view's fields.
    QFont big = font();
    big.setPointSizeF(font().pointSizeF() * 1.6);
    big.setBold(true);
    auto* fields = new QGridLayout;
    cursorTime_ = FramedLabel(this);
    cursorTime_->setFont(big);
    auto* timeTitle = new QLabel(log_.timeTitle, this);
    timeTitle->setAlignment(Qt::AlignCenter);
    fields->addWidget(timeTitle, 0, 0);
    fields->addWidget(cursorTime_, 1, 0);
    const int perRow = std::max(4, int(std::ceil(log_.columns.size() / 2.0)));
    for (size_t c = 0; c < log_.columns.size(); ++c) {
        const LogColumn& column = log_.columns[c];
        auto* name = new QLabel(column.name.isEmpty() ? QStringLiteral("#%1").arg(column.field + 1)
                                                      : column.name,
                                this);
        name->setAlignment(Qt::AlignCenter);
        QPalette palette = name->palette();
        palette.setColor(QPalette::WindowText, CurveColour(int(c)));
        name->setPalette(palette);
        auto* field = FramedLabel(this);
        field->setFont(big);
        field->setMinimumWidth(110);
        const int row = int(c) / perRow;
        const int col = 1 + int(c) % perRow;
        fields->addWidget(name, 2 * row, col);
        fields->addWidget(field, 2 * row + 1, col);
        valueNames_.push_back(name);
        valueFields_.push_back(field);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(fields);
    layout->addLayout(controls);

    replayTimer_ = new QTimer(this);
    replayTimer_->setInterval(kReplayTickMs);
    connect(replayTimer_, &QTimer::timeout, this, &LogWindow::AdvanceReplay);
    connect(resetButton_, &QPushButton::clicked, this, &LogWindow::ResetZoom);
    connect(normalisedBox_, &QCheckBox::toggled, this, &LogWindow::SetNormalised);
    connect(playButton_, &QPushButton::clicked, this, [this] { playing_ ? Pause() : Play(); });
    connect(speedBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetReplaySpeed(speedBox_->itemData(index).toInt()); });
    connect(imageButton, &QPushButton::clicked, this, &LogWindow::ExportImage);
    connect(sliceButton, &QPushButton::clicked, this, &LogWindow::ExportCsvSlice);

    layout->activate();
    Redraw();
    SetCursorMs(cursorMs_);
}

LogWindow::~LogWindow() = default;

QString LogWindow::Text(const QString& key) const
{
    return TextOrEnglish(texts_, key);
}

void LogWindow::BuildChart()
{
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignTop);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis_->setTitleText(longLog_ ? QStringLiteral("m:ss") : QStringLiteral("s"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);

    for (size_t c = 0; c < log_.columns.size(); ++c) {
        const LogColumn& column = log_.columns[c];
        if (column.numericCount == 0)
            continue; // text only: shown in its field, not drawn
        Curve curve;
        curve.column = int(c);
        curve.minValue = std::numeric_limits<double>::max();
        curve.maxValue = std::numeric_limits<double>::lowest();
        for (double v : column.values) {
            if (std::isnan(v))
                continue;
            curve.minValue = std::min(curve.minValue, v);
            curve.maxValue = std::max(curve.maxValue, v);
        }
        curve.series = new QLineSeries;
        QPen pen(CurveColour(int(c)));
        pen.setWidthF(1.5);
        curve.series->setPen(pen);
        chart_->addSeries(curve.series);
        curve.series->attachAxis(timeAxis_);
        curves_.push_back(curve);
    }
    for (Curve& curve : curves_)
        curve.series->setName(LegendText(curve.column));
    BuildAxes();

    for (const Curve& curve : curves_) {
        for (QLegendMarker* marker : chart_->legend()->markers(curve.series)) {
            const int column = curve.column;
            connect(marker, &QLegendMarker::clicked, this,
                    [this, column] { SetCurveVisible(column, !CurveVisible(column)); });
        }
    }

    view_ = new LogChartView(chart_, this);
    view_->setMinimumSize(400, 250);
    cursorLine_ = new QGraphicsLineItem(chart_);
    cursorLine_->setPen(QPen(QColor(204, 0, 0), 1.5));
    cursorLine_->setZValue(10);
    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        UpdateTimeAxis();
        UpdateCursor();
    });
}

void LogWindow::BuildAxes()
{
    for (QAbstractAxis* axis : chart_->axes(Qt::Vertical)) {
        chart_->removeAxis(axis);
        delete axis;
    }
    percentAxis_ = nullptr;
    for (Curve& curve : curves_)
        curve.axis = nullptr;

    if (normalised_) {
        percentAxis_ = new QValueAxis;
        percentAxis_->setRange(-2, 102);
        percentAxis_->setLabelFormat(QStringLiteral("%.0f %%"));
        chart_->addAxis(percentAxis_, Qt::AlignLeft);
        for (Curve& curve : curves_)
            curve.series->attachAxis(percentAxis_);
        return;
    }
    int side = 0;
    for (Curve& curve : curves_) {
        curve.axis = new QValueAxis;
        double low = curve.minValue;
        double high = curve.maxValue;
        const double margin =
            high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(low) * 0.05);
        curve.axis->setRange(low - margin, high + margin);
        curve.axis->applyNiceNumbers();
        curve.axis->setLabelFormat(QStringLiteral("%.4g"));
        const QColor colour = CurveColour(curve.column);
        curve.axis->setLabelsColor(colour);
        curve.axis->setLinePenColor(colour);
        curve.axis->setGridLineVisible(side == 0);
        chart_->addAxis(curve.axis, side % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        curve.series->attachAxis(curve.axis);
        curve.axis->setVisible(curve.visible);
        ++side;
    }
}

QString LogWindow::LegendText(int column) const
{
    const LogColumn& c = log_.columns[size_t(column)];
    QString text = c.name.isEmpty() ? QStringLiteral("#%1").arg(c.field + 1) : c.name;
    const QString unit = c.unit.isEmpty() ? units_.value(c.name) : c.unit;
    if (!unit.isEmpty())
        text += QStringLiteral(" [") + unit + QLatin1Char(']');
    // On one percent scale the legend gives each curve's range; otherwise its own axis does.
    if (normalised_)
        for (const Curve& curve : curves_)
            if (curve.column == column)
                text += QStringLiteral(" %1…%2").arg(curve.minValue).arg(curve.maxValue);
    return text;
}

int LogWindow::PlotColumns() const
{
    return std::max(100, int(chart_->plotArea().width()));
}

void LogWindow::Redraw()
{
    std::vector<QPointF> points;
    for (Curve& curve : curves_) {
        CurveWindow window{fromMs_, toMs_, PlotColumns(), 0, 1};
        if (normalised_) {
            const double range = curve.maxValue - curve.minValue;
            window.yOffset = curve.minValue;
            window.yScale = range > 0 ? 100.0 / range : 0;
            if (range <= 0)
                window.yOffset = curve.minValue - 50; // a flat curve in the middle
            if (range <= 0)
                window.yScale = 1;
        }
        DecimateCurve(log_.timesMs, log_.columns[size_t(curve.column)].values, window, points);
        curve.series->replace(QList<QPointF>(points.begin(), points.end()));
    }
    UpdateTimeAxis();
    UpdateCursor();
}

void LogWindow::UpdateTimeAxis()
{
    const QStringList old = timeAxis_->categoriesLabels();
    for (const QString& label : old)
        timeAxis_->remove(label);
    const double step = TickStepMs(toMs_ - fromMs_, std::max(2, PlotColumns() / 90), longLog_);
    timeAxis_->setStartValue(fromMs_ / 1000.0);
    for (double t = std::ceil(fromMs_ / step) * step; t <= toMs_ + 1e-6; t += step)
        timeAxis_->append(FormatLogTime(t, longLog_), t / 1000.0);
    timeAxis_->setRange(fromMs_ / 1000.0, toMs_ / 1000.0);
}

QStringList LogWindow::AxisLabels() const
{
    return timeAxis_->categoriesLabels();
}

void LogWindow::UpdateCursor()
{
    const QRectF area = chart_->plotArea();
    const bool inside = cursorMs_ >= fromMs_ && cursorMs_ <= toMs_ && area.width() > 0;
    cursorLine_->setVisible(inside);
    if (inside) {
        const double x = area.left() + (cursorMs_ - fromMs_) / (toMs_ - fromMs_) * area.width();
        cursorLine_->setLine(x, area.top(), x, area.bottom());
    }
}

double LogWindow::PixelToMs(double viewX) const
{
    const QPointF scene = view_->mapToScene(QPoint(int(viewX), 0));
    const QPointF inChart = chart_->mapFromScene(scene);
    const QRectF area = chart_->plotArea();
    if (area.width() <= 0)
        return fromMs_;
    return fromMs_ + (inChart.x() - area.left()) / area.width() * (toMs_ - fromMs_);
}

void LogWindow::SetVisibleRange(double fromMs, double toMs)
{
    if (log_.timesMs.empty())
        return;
    const double first = log_.timesMs.front();
    const double last = std::max(log_.timesMs.back(), first + kMinSpanMs);
    if (toMs < fromMs)
        std::swap(fromMs, toMs);
    double span = std::clamp(toMs - fromMs, kMinSpanMs, last - first);
    const double centre = (fromMs + toMs) / 2;
    fromMs = std::clamp(centre - span / 2, first, last - span);
    fromMs_ = fromMs;
    toMs_ = fromMs + span;
    Redraw();
}

void LogWindow::ZoomAt(double centreMs, double factor)
{
    const double from = centreMs - (centreMs - fromMs_) * factor;
    const double to = centreMs + (toMs_ - centreMs) * factor;
    if (to - from < kMinSpanMs) {
        const double keep = (centreMs - fromMs_) / std::max(toMs_ - fromMs_, 1e-9);
        SetVisibleRange(centreMs - kMinSpanMs * keep, centreMs + kMinSpanMs * (1 - keep));
        return;
    }
    SetVisibleRange(from, to);
}

void LogWindow::PanByMs(double deltaMs)
{
    const double span = toMs_ - fromMs_;
    const double first = log_.timesMs.front();
    const double last = std::max(log_.timesMs.back(), first + kMinSpanMs);
    const double from = std::clamp(fromMs_ + deltaMs, first, last - span);
    SetVisibleRange(from, from + span);
}

void LogWindow::ResetZoom()
{
    SetVisibleRange(log_.timesMs.front(), log_.timesMs.back());
}

void LogWindow::SetCursorMs(double timeMs)
{
    if (log_.timesMs.empty())
        return;
    cursorMs_ = std::clamp(timeMs, log_.timesMs.front(), log_.timesMs.back());
    cursorTime_->setText(CursorTimeText());
    for (size_t c = 0; c < valueFields_.size(); ++c)
        valueFields_[c]->setText(CursorValueText(int(c)));
    UpdateCursor();
}

QString LogWindow::CursorTimeText() const
{
    return FormatLogTime(log_.timesMs[size_t(LogRowAt(log_, cursorMs_))], true) +
           (longLog_
                ? QString()
                : QStringLiteral("  (%1 s)")
                      .arg(FormatLogTime(log_.timesMs[size_t(LogRowAt(log_, cursorMs_))], false)));
}

QString LogWindow::CursorValueText(int column) const
{
    const LogColumn& c = log_.columns[size_t(column)];
    const QString text = LogRowFields(log_, LogRowAt(log_, cursorMs_)).value(c.field);
    const QString unit = c.unit.isEmpty() ? units_.value(c.name) : c.unit;
    if (text.isEmpty() || text == QLatin1String("----"))
        return text;
    return text + unit;
}

void LogWindow::SetNormalised(bool normalised)
{
    if (normalised == normalised_)
        return;
    normalised_ = normalised;
    normalisedBox_->setChecked(normalised);
    BuildAxes();
    for (Curve& curve : curves_)
        curve.series->setName(LegendText(curve.column));
    Redraw();
}

void LogWindow::SetCurveVisible(int column, bool visible)
{
    for (Curve& curve : curves_) {
        if (curve.column != column)
            continue;
        curve.visible = visible;
        curve.series->setVisible(visible);
        if (curve.axis)
            curve.axis->setVisible(visible);
        // A hidden series hides its legend entry too; keep it, dimmed, to click it back on.
        for (QLegendMarker* marker : chart_->legend()->markers(curve.series)) {
            marker->setVisible(true);
            QColor colour = marker->labelBrush().color();
            colour.setAlphaF(visible ? 1.0 : 0.35);
            marker->setLabelBrush(colour);
        }
    }
}

bool LogWindow::CurveVisible(int column) const
{
    for (const Curve& curve : curves_)
        if (curve.column == column)
            return curve.visible;
    return false;
}

void LogWindow::Play()
{
    if (log_.timesMs.empty())
        return;
    if (cursorMs_ >= log_.timesMs.back())
        SetCursorMs(fromMs_);
    playing_ = true;
    replayStartCursorMs_ = cursorMs_;
    replayStartClockMs_ = clock_->NowMs();
    playButton_->setText(Text(QStringLiteral("Log_4")));
    replayTimer_->start();
}

void LogWindow::Pause()
{
    playing_ = false;
    replayTimer_->stop();
    playButton_->setText(Text(QStringLiteral("Log_3")));
}

void LogWindow::SetReplaySpeed(int factor)
{
    if (factor != 1 && factor != 2 && factor != 4 && factor != 8)
        return;
    // Speed changes apply from now on, not to the time already played.
    replayStartCursorMs_ = cursorMs_;
    replayStartClockMs_ = clock_->NowMs();
    speed_ = factor;
    const int index = speedBox_->findData(factor);
    if (index != speedBox_->currentIndex())
        speedBox_->setCurrentIndex(index);
}

void LogWindow::AdvanceReplay()
{
    if (!playing_)
        return;
    const double target =
        replayStartCursorMs_ + double(clock_->NowMs() - replayStartClockMs_) * speed_;
    SetCursorMs(target);
    if (cursorMs_ > toMs_ || cursorMs_ < fromMs_) {
        const double span = toMs_ - fromMs_;
        SetVisibleRange(cursorMs_ - span * 0.1, cursorMs_ + span * 0.9);
    }
    if (target >= log_.timesMs.back())
        Pause();
}

bool LogWindow::SaveImage(const QString& path)
{
    const QPixmap picture = view_->grab();
    const bool bmp = path.endsWith(QLatin1String(".bmp"));
    return picture.save(path, bmp ? "BMP" : "PNG");
}

bool LogWindow::SaveCsvSlice(const QString& path)
{
    return WriteLogSlice(log_, fromMs_, toMs_, path);
}

bool LogWindow::ExportImage()
{
    const QString pngFilter = QStringLiteral("PNG (*.png)");
    const QString bmpFilter = QStringLiteral("Bild (*.bmp)");
    QString chosenFilter = pngFilter;
    const QString start = QFileInfo(path_).absolutePath() + QLatin1Char('/') +
                          QFileInfo(path_).completeBaseName() + QStringLiteral(".png");
    const QString title = Text(QStringLiteral("Log_6"));
    const QString filter = pngFilter + QStringLiteral(";;") + bmpFilter;
    QString chosen = askSaveFileName
                         ? askSaveFileName(this, title, start, filter, &chosenFilter)
                         : QFileDialog::getSaveFileName(this, title, start, filter, &chosenFilter);
    if (chosen.isEmpty())
        return false;
    // The diagram's rule for bitmaps: ".bmp" unless the name ends in exactly that.
    chosen = chosenFilter == bmpFilter ? DiagramBmpFileName(chosen)
                                       : WithSuffix(chosen, QStringLiteral(".png"));
    if (SaveImage(chosen))
        return true;
    QMessageBox::warning(this, kWindowTitle,
                         Text(QStringLiteral("Log_22")) + QLatin1Char('\n') +
                             QDir::toNativeSeparators(chosen));
    return false;
}

bool LogWindow::ExportCsvSlice()
{
    QString chosenFilter;
    const QString start = QFileInfo(path_).absolutePath() + QLatin1Char('/') +
                          QFileInfo(path_).completeBaseName() + QStringLiteral("_slice.csv");
    const QString title = Text(QStringLiteral("Log_7"));
    const QString filter = QStringLiteral("CSV (*.csv)");
    QString chosen = askSaveFileName
                         ? askSaveFileName(this, title, start, filter, &chosenFilter)
                         : QFileDialog::getSaveFileName(this, title, start, filter, &chosenFilter);
    if (chosen.isEmpty())
        return false;
    chosen = WithSuffix(chosen, QStringLiteral(".csv"));
    if (SaveCsvSlice(chosen))
        return true;
    QMessageBox::warning(this, kWindowTitle,
                         Text(QStringLiteral("Log_22")) + QLatin1Char('\n') +
                             QDir::toNativeSeparators(chosen));
    return false;
}

int LogWindow::DrawnPointCount() const
{
    int count = 0;
    for (const Curve& curve : curves_)
        count += int(curve.series->count());
    return count;
}

void LogWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Redraw();
}

LogWindow* OpenLogWindow(QWidget* parent, const QString& csvPath, LanguageTexts& texts,
                         QString* error)
{
    LogReadResult result = ReadLogFile(csvPath);
    if (!result.Ok()) {
        if (error)
            *error = LogErrorMessage(result, csvPath, texts);
        return nullptr;
    }
    auto* window = new LogWindow(std::move(result.log), csvPath, texts, parent);
    window->show();
    return window;
}

QString AskLogFile(QWidget* parent, const QString& loggingDirectory, LanguageTexts& texts)
{
    QString title = LogWindowText(texts, QStringLiteral("Log_1"));
    title.remove(QChar(0x2026)).remove(QStringLiteral("...")).remove(QLatin1Char('&'));
    return QFileDialog::getOpenFileName(parent, title, loggingDirectory,
                                        QStringLiteral("CSV (*.csv);;* (*)"));
}

} // namespace velmoro
