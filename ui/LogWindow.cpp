// The log window: the lanes on one time range, cursor, replay, statistics and export.
#include "ui/LogWindow.h"

#include "config/LanguageTexts.h"
#include "output/LogDecimate.h"
#include "output/LogUnits.h"
#include "ui/DiagramWindow.h"
#include "ui/Layout.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
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
constexpr int kTextFieldsPerRow = 4;

QString WithSuffix(const QString& name, const QString& suffix)
{
    if (name.isEmpty() || name.endsWith(suffix, Qt::CaseInsensitive))
        return name;
    return name + suffix;
}

// A file name that says the values are invented: "sim", "simulated" or "simulator" as a word.
bool SimulatedName(const QString& path)
{
    static const QRegularExpression word(
        QStringLiteral("(^|[_\\-. ])sim(ulated|ulator)?([_\\-. ]|$)"),
        QRegularExpression::CaseInsensitiveOption);
    return word.match(QFileInfo(path).completeBaseName()).hasMatch();
}

} // namespace

LogWindow::LogWindow(LogData log, const QString& path, LanguageTexts& texts, QWidget* parent,
                     const ReplayClock* clock, std::vector<LogEvent> events)
    : QWidget(parent, Qt::Window), log_(std::move(log)), path_(path), texts_(texts),
      units_(ValueUnitsOfAllLanguages(texts)), clock_(clock), events_(std::move(events))
{
    if (!clock_) {
        ownClock_ = std::make_unique<SteadyReplayClock>();
        clock_ = ownClock_.get();
    }
    setAttribute(Qt::WA_DeleteOnClose);
    simulated_ = SimulatedName(path) ||
                 std::any_of(events_.begin(), events_.end(),
                             [](const LogEvent& e) { return e.kind == EventKind::Simulated; });
    setWindowTitle(kWindowTitle + QStringLiteral(" - ") + QFileInfo(path).fileName() +
                   (simulated_
                        ? QStringLiteral(" (") + Text(QStringLiteral("Ride_5")) + QLatin1Char(')')
                        : QString()));
    longLog_ = log_.DurationMs() > kLongLogMs;
    fromMs_ = log_.timesMs.empty() ? 0 : log_.timesMs.front();
    toMs_ = std::max(fromMs_ + kMinSpanMs, log_.timesMs.empty() ? 0 : log_.timesMs.back());
    cursorMs_ = fromMs_;

    ranges_.resize(log_.columns.size());
    for (size_t c = 0; c < log_.columns.size(); ++c) {
        const LogColumn& column = log_.columns[c];
        ColumnRange range{std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::lowest()};
        for (double v : column.values) {
            if (std::isnan(v))
                continue;
            range.min = std::min(range.min, v);
            range.max = std::max(range.max, v);
        }
        if (column.numericCount == 0)
            range = {};
        ranges_[c] = range;
        if (column.numericCount > 0 && column.bitCount == 0)
            groups_.push_back({int(c)});
    }

    // Toolbar.
    resetButton_ = new QPushButton(Text(QStringLiteral("Log_2")), this);
    normalisedBox_ = new QCheckBox(Text(QStringLiteral("Log_5")), this);
    playButton_ = new QPushButton(Text(QStringLiteral("Log_3")), this);
    speedBox_ = new QComboBox(this);
    speedBox_->setToolTip(Text(QStringLiteral("Log_8")));
    for (int factor : {1, 2, 4, 8})
        speedBox_->addItem(QString::number(factor) + QChar(0x00D7), factor);
    auto* imageButton = new QPushButton(Text(QStringLiteral("Log_6")), this);
    auto* sliceButton = new QPushButton(Text(QStringLiteral("Log_7")), this);
    auto* compareButton = new QPushButton(Text(QStringLiteral("Ride_1")), this);
    compareButton->setToolTip(Text(QStringLiteral("Ride_2")));
    alignBox_ = new QComboBox(this);
    alignBox_->addItem(Text(QStringLiteral("Ride_3")));
    alignBox_->addItem(Text(QStringLiteral("Ride_4")));
    alignBox_->setVisible(false);

    auto* tools = new QHBoxLayout;
    tools->addWidget(resetButton_);
    tools->addWidget(normalisedBox_);
    tools->addWidget(playButton_);
    tools->addWidget(speedBox_);
    tools->addStretch(1);
    tools->addWidget(compareButton);
    tools->addWidget(alignBox_);
    tools->addWidget(imageButton);
    tools->addWidget(sliceButton);

    simulatedNote_ = new QLabel(Text(QStringLiteral("Ride_6")), this);
    simulatedNote_->setStyleSheet(
        QStringLiteral("background: #fff3c4; color: #6b4e00; padding: 3px; font-weight: bold;"));
    simulatedNote_->setWordWrap(true);
    simulatedNote_->setVisible(simulated_);

    // The lanes, scrolling when there are more than fit.
    lanesWidget_ = new QWidget;
    lanesLayout_ = new QVBoxLayout(lanesWidget_);
    lanesLayout_->setContentsMargins(0, 0, 0, 0);
    lanesLayout_->setSpacing(0);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidget(lanesWidget_);

    eventList_ = new QListWidget(this);
    eventList_->setToolTip(Text(QStringLiteral("Ride_7")));
    connect(eventList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { GoToEvent(eventList_->row(item)); });
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(scroll_);
    splitter->addWidget(eventList_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({800, 230});
    splitter->setChildrenCollapsible(false);

    // Below the lanes: the cursor's time and the fields of columns that hold text only.
    auto* fields = new QGridLayout;
    cursorTime_ = new QLabel(this);
    QFont big = cursorTime_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    cursorTime_->setFont(big);
    fields->addWidget(cursorTime_, 0, 0, 1, 2 * kTextFieldsPerRow);
    int shown = 0;
    for (size_t c = 0; c < log_.columns.size(); ++c) {
        auto* name = new QLabel(ColumnName(int(c)), this);
        auto* field = new QLabel(this);
        field->setFont(big);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        valueNames_.push_back(name);
        valueFields_.push_back(field);
        const bool textOnly = log_.columns[c].numericCount == 0;
        name->setVisible(textOnly);
        field->setVisible(textOnly);
        if (!textOnly)
            continue;
        const int row = 1 + 2 * (shown / kTextFieldsPerRow);
        const int col = shown % kTextFieldsPerRow;
        fields->addWidget(name, row, col);
        fields->addWidget(field, row + 1, col);
        ++shown;
    }
    auto* hint = new QLabel(Text(QStringLiteral("Log_9")), this);
    hint->setStyleSheet(QStringLiteral("color: gray;"));
    hint->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(simulatedNote_);
    layout->addWidget(splitter, 1);
    layout->addLayout(fields);
    layout->addWidget(hint);

    replayTimer_ = new QTimer(this);
    replayTimer_->setInterval(kReplayTickMs);
    connect(replayTimer_, &QTimer::timeout, this, &LogWindow::AdvanceReplay);
    connect(resetButton_, &QPushButton::clicked, this, &LogWindow::ResetZoom);
    connect(normalisedBox_, &QCheckBox::toggled, this, &LogWindow::SetNormalised);
    connect(playButton_, &QPushButton::clicked, this, [this] { Playing() ? Pause() : Play(); });
    connect(speedBox_, &QComboBox::activated, this,
            [this](int index) { SetReplaySpeed(speedBox_->itemData(index).toInt()); });
    connect(imageButton, &QPushButton::clicked, this, &LogWindow::ExportImage);
    connect(sliceButton, &QPushButton::clicked, this, &LogWindow::ExportCsvSlice);
    connect(compareButton, &QPushButton::clicked, this, &LogWindow::ChooseCompareLog);
    connect(alignBox_, &QComboBox::activated, this, [this](int index) {
        if (index == 0 || !AlignCompareAtEvent(eventList_->currentRow()))
            AlignCompareAtStart();
    });

    BuildEventList();
    BuildLanes();
    SetCursorMs(cursorMs_);

    // Never wider or taller than the screen, whatever the number of columns.
    QSize size(1100, 760);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    resize(size);
}

LogWindow::~LogWindow() = default;

QString LogWindow::Text(const QString& key) const
{
    return LogWindowText(texts_, key);
}

QString LogWindow::ColumnName(int column) const
{
    const LogColumn& c = log_.columns[size_t(column)];
    return c.name.isEmpty() ? QStringLiteral("#%1").arg(c.field + 1) : c.name;
}

QString LogWindow::UnitOf(int column) const
{
    const LogColumn& c = log_.columns[size_t(column)];
    return c.unit.isEmpty() ? units_.value(c.name.trimmed()) : c.unit;
}

QString LogWindow::LegendText(int column) const
{
    QString text = ColumnName(column);
    const QString unit = UnitOf(column);
    if (!unit.isEmpty())
        text += QStringLiteral(" [") + unit + QLatin1Char(']');
    // On one percent scale the legend gives each curve's range; otherwise its lane's scale does.
    if (normalised_)
        text += QStringLiteral(" %1…%2")
                    .arg(ranges_[size_t(column)].min)
                    .arg(ranges_[size_t(column)].max);
    return text;
}

LogWindow::Stats LogWindow::VisibleStats(int column) const
{
    Stats stats;
    if (column < 0 || size_t(column) >= log_.columns.size())
        return stats;
    const std::vector<double>& values = log_.columns[size_t(column)].values;
    const auto first = std::lower_bound(log_.timesMs.begin(), log_.timesMs.end(), fromMs_);
    const auto last = std::upper_bound(first, log_.timesMs.end(), toMs_);
    double sum = 0;
    for (auto it = first; it != last; ++it) {
        const double v = values[size_t(it - log_.timesMs.begin())];
        if (std::isnan(v))
            continue;
        stats.min = stats.count == 0 ? v : std::min(stats.min, v);
        stats.max = stats.count == 0 ? v : std::max(stats.max, v);
        sum += v;
        ++stats.count;
    }
    if (stats.count > 0)
        stats.mean = sum / stats.count;
    return stats;
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
        if (valueFields_[c]->isVisibleTo(this))
            valueFields_[c]->setText(CursorValueText(int(c)));
    UpdateCursor();
}

void LogWindow::UpdateCursor()
{
    for (int i = 0; i < LaneCount(); ++i)
        lanes_[size_t(i)]->SetCursor(cursorMs_, LaneCursorText(i));
}

QString LogWindow::CursorTimeText() const
{
    const double at = log_.timesMs[size_t(LogRowAt(log_, cursorMs_))];
    return FormatLogTime(at, true) +
           (longLog_ ? QString() : QStringLiteral("  (%1 s)").arg(FormatLogTime(at, false)));
}

QString LogWindow::CursorValueText(int column) const
{
    const LogColumn& c = log_.columns[size_t(column)];
    const QString text = LogRowFields(log_, LogRowAt(log_, cursorMs_)).value(c.field);
    if (text.isEmpty() || text == QLatin1String("----"))
        return text;
    return text + UnitOf(column);
}

QString LogWindow::LaneCursorText(int lane) const
{
    QStringList parts;
    for (int column : LaneColumns(lane))
        parts << CursorValueText(column);
    return parts.join(QStringLiteral(" · "));
}

void LogWindow::SetNormalised(bool normalised)
{
    if (normalised == normalised_)
        return;
    normalised_ = normalised;
    normalisedBox_->setChecked(normalised);
    BuildLanes();
}

void LogWindow::SetCurveVisible(int column, bool visible)
{
    if (visible)
        hidden_.remove(column);
    else
        hidden_.insert(column);
    ApplyCurveVisibility();
}

bool LogWindow::CurveVisible(int column) const
{
    return column >= 0 && size_t(column) < log_.columns.size() &&
           log_.columns[size_t(column)].numericCount > 0 && !hidden_.contains(column);
}

void LogWindow::ApplyCurveVisibility()
{
    for (LogLaneView* lane : lanes_) {
        for (const LaneCurve& curve : lane->Curves()) {
            const bool visible = !hidden_.contains(curve.column);
            curve.series->setVisible(visible);
            // A hidden series hides its legend entry too; keep it, dimmed, to click it back on.
            for (QLegendMarker* marker : lane->chart()->legend()->markers(curve.series)) {
                marker->setVisible(true);
                QColor colour = marker->labelBrush().color();
                colour.setAlphaF(visible ? 1.0 : 0.35);
                marker->setLabelBrush(colour);
            }
        }
    }
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

QString LogWindow::PngFilter() const
{
    return Text(QStringLiteral("Ride_8")) + QStringLiteral(" (*.png)");
}

QString LogWindow::BmpFilter() const
{
    return Text(QStringLiteral("Ride_9")) + QStringLiteral(" (*.bmp)");
}

bool LogWindow::SaveImage(const QString& path)
{
    const QPixmap picture = lanesWidget_->grab();
    const bool bmp = path.endsWith(QLatin1String(".bmp"));
    return picture.save(path, bmp ? "BMP" : "PNG");
}

bool LogWindow::SaveCsvSlice(const QString& path)
{
    return WriteLogSlice(log_, fromMs_, toMs_, path);
}

bool LogWindow::ExportImage()
{
    const QString pngFilter = PngFilter();
    const QString bmpFilter = BmpFilter();
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
    for (const LogLaneView* lane : lanes_)
        for (const LaneCurve& curve : lane->Curves())
            count += int(curve.series->count());
    return count;
}

QStringList LogWindow::AxisLabels() const
{
    return lanes_.empty() ? QStringList() : lanes_.back()->TimeAxis()->categoriesLabels();
}

} // namespace velmoro
