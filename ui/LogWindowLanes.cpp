// The log window's lanes: which values share a lane, their curves, titles and the lane menu.
#include "ui/LogWindow.h"

#include "output/LogDecimate.h"

#include <QChart>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace velmoro {

namespace {

// A few significant digits, without an exponent for large values: "1234", "13.82", "0.004".
QString ShortNumber(double v)
{
    if (std::abs(v) >= 1000)
        return QString::number(v, 'f', 0);
    return QString::number(v, 'g', 4);
}

QColor EventColour(EventKind kind)
{
    switch (kind) {
    case EventKind::FaultAppeared:
        return QColor(214, 0, 0);
    case EventKind::FaultGone:
        return QColor(214, 90, 90);
    case EventKind::LinkLost:
    case EventKind::LinkBack:
    case EventKind::AdapterRestarted:
    case EventKind::SessionReopened:
    case EventKind::FastRefreshEnded:
        return QColor(230, 140, 0);
    case EventKind::Mark:
        return QColor(0, 90, 200);
    case EventKind::Simulated:
    case EventKind::RideStart:
        break;
    }
    return QColor(130, 130, 130);
}

} // namespace

std::vector<int> LogWindow::LaneColumns(int lane) const
{
    std::vector<int> columns;
    if (lane < 0 || lane >= LaneCount())
        return columns;
    for (const LaneCurve& curve : lanes_[size_t(lane)]->Curves())
        if (!curve.compare &&
            std::find(columns.begin(), columns.end(), curve.column) == columns.end())
            columns.push_back(curve.column);
    return columns;
}

int LogWindow::LaneOfColumn(int column) const
{
    for (int i = 0; i < LaneCount(); ++i) {
        const std::vector<int> columns = LaneColumns(i);
        if (std::find(columns.begin(), columns.end(), column) != columns.end())
            return i;
    }
    return -1;
}

QString LogWindow::CurveName(int column, bool compare) const
{
    QString name = LegendText(column);
    if (compare_)
        name += QStringLiteral(" (") +
                (compare ? compare_->name : QFileInfo(path_).completeBaseName()) + QLatin1Char(')');
    return name;
}

QString LogWindow::StatsText(int column) const
{
    const Stats stats = VisibleStats(column);
    if (stats.count == 0)
        return {};
    return Text(QStringLiteral("Lane_4"))
        .arg(ShortNumber(stats.min), ShortNumber(stats.max), ShortNumber(stats.mean));
}

void LogWindow::BuildLanes()
{
    // Deleted later: a lane may be rebuilt from within its own event handler (a drop, a drag).
    for (LogLaneView* lane : lanes_) {
        lanesLayout_->removeWidget(lane);
        lane->hide();
        lane->onMenu = nullptr;
        lane->onDropLane = nullptr;
        lane->deleteLater();
    }
    lanes_.clear();
    laneGroup_.clear();

    // Lanes in the order of their first column; "Normalised" puts every ordinary value in one
    // lane at the top. Bit fields keep lanes of their own in either view.
    struct Plan {
        int first;
        std::vector<int> columns;
        int group;
        bool bits;
        bool percent;
    };
    std::vector<Plan> plans;
    if (normalised_) {
        std::vector<int> all;
        for (const std::vector<int>& group : groups_)
            all.insert(all.end(), group.begin(), group.end());
        std::sort(all.begin(), all.end());
        if (!all.empty())
            plans.push_back({-1, all, -1, false, true});
    } else {
        for (size_t g = 0; g < groups_.size(); ++g)
            plans.push_back({groups_[g].front(), groups_[g], int(g), false, false});
    }
    for (size_t c = 0; c < log_.columns.size(); ++c)
        if (log_.columns[c].numericCount > 0 && log_.columns[c].bitCount > 0)
            plans.push_back({int(c), {int(c)}, -1, true, false});
    std::stable_sort(plans.begin(), plans.end(),
                     [](const Plan& a, const Plan& b) { return a.first < b.first; });

    std::vector<std::pair<double, QColor>> markers;
    for (const LogEvent& event : events_)
        if (event.kind != EventKind::Simulated)
            markers.emplace_back(event.timeMs, EventColour(event.kind));

    for (const Plan& plan : plans) {
        auto* lane = new LogLaneView(this, plan.bits);
        lane->onMenu = [this](LogLaneView* l, const QPoint& at) { ShowLaneMenu(l, at); };
        lane->index = int(lanes_.size());
        if (plan.group >= 0)
            lane->onDropLane = [this](LogLaneView* onto, int from) {
                // After the drop has returned: the lanes are rebuilt, this one with them.
                const int target = onto->index;
                QMetaObject::invokeMethod(
                    this, [this, from, target] { OverlayLane(from, target); },
                    Qt::QueuedConnection);
            };
        AddLaneCurves(lane, plan.columns, plan.percent);
        lane->SetMarkers(markers);
        lanes_.push_back(lane);
        laneGroup_.push_back(plan.group);
        // Lanes of several curves name them in a legend above the plot: more room for them.
        lanesLayout_->addWidget(lane, plan.bits ? 0 : (lane->Curves().size() > 1 ? 2 : 1));
    }
    for (size_t i = 0; i < lanes_.size(); ++i)
        lanes_[i]->SetTimeLabels(i + 1 == lanes_.size());
    ApplyCurveVisibility();
    Redraw();
}

void LogWindow::AddLaneCurves(LogLaneView* lane, const std::vector<int>& columns, bool percent)
{
    if (lane->BitLane()) {
        const int column = columns.front();
        const int bits = log_.columns[size_t(column)].bitCount;
        QStringList names;
        for (int bit = 0; bit < bits; ++bit) {
            names << Text(QStringLiteral("Lane_3")).arg(bit);
            QPen pen(CurveColour(column));
            pen.setWidthF(1.2);
            lane->AddCurve(LaneCurve{column, false, bit, nullptr}, names.back(), pen);
        }
        lane->SetBitRows(names);
        lane->SetPlotMinimumHeight(std::max(kLaneMinHeight, kLaneTop + kLaneBottom + 14 * bits));
        lane->SetLegendShown(false);
        return;
    }
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (int column : columns) {
        QPen pen(CurveColour(column));
        pen.setWidthF(1.5);
        lane->AddCurve(LaneCurve{column, false, -1, nullptr}, CurveName(column, false), pen);
        low = std::min(low, ranges_[size_t(column)].min);
        high = std::max(high, ranges_[size_t(column)].max);
        if (compare_ && compare_->columnOf.contains(column)) {
            QColor light = CurveColour(column);
            light.setAlphaF(0.75);
            QPen dashed(light, 1.5, Qt::DashLine);
            lane->AddCurve(LaneCurve{column, true, -1, nullptr}, CurveName(column, true), dashed);
            const auto& range = compare_->ranges[size_t(compare_->columnOf.value(column))];
            low = std::min(low, range.first);
            high = std::max(high, range.second);
        }
    }
    if (percent)
        lane->SetValueRange(0, 100);
    else
        lane->SetValueRange(low, high);
    lane->SetLegendShown(lane->Curves().size() > 1);

    for (const LaneCurve& curve : lane->Curves()) {
        for (QLegendMarker* marker : lane->chart()->legend()->markers(curve.series)) {
            // The second ride's curve follows its value: one click hides or shows both.
            const int column = curve.column;
            connect(marker, &QLegendMarker::clicked, this,
                    [this, column] { SetCurveVisible(column, !CurveVisible(column)); });
        }
    }
}

const std::vector<double>& LogWindow::BitTrace(int column, int bit)
{
    const int key = column * 64 + bit;
    auto it = bitTraces_.find(key);
    if (it == bitTraces_.end()) {
        const std::vector<double>& values = log_.columns[size_t(column)].values;
        std::vector<double> trace(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            trace[i] = std::isnan(values[i])
                           ? values[i]
                           : double((std::uint32_t(values[i]) >> unsigned(bit)) & 1u);
        it = bitTraces_.insert(key, std::move(trace));
    }
    return it.value();
}

void LogWindow::RedrawLane(LogLaneView* lane)
{
    // A lane not laid out yet is drawn when it is, at its real width.
    if (!lane->LaidOut())
        return;
    std::vector<QPointF> points;
    const bool percent = normalised_ && !lane->BitLane();
    for (const LaneCurve& curve : lane->Curves()) {
        CurveWindow window{fromMs_, toMs_, lane->PlotColumns(), 0, 1};
        const std::vector<double>* times = &log_.timesMs;
        const std::vector<double>* values = &log_.columns[size_t(curve.column)].values;
        double min = ranges_[size_t(curve.column)].min;
        double max = ranges_[size_t(curve.column)].max;
        if (curve.compare) {
            const int other = compare_->columnOf.value(curve.column);
            times = &compare_->timesMs;
            values = &compare_->log.columns[size_t(other)].values;
            min = compare_->ranges[size_t(other)].first;
            max = compare_->ranges[size_t(other)].second;
        }
        if (curve.bit >= 0) {
            // Row `bit` of the lane: off at its foot, on near its top.
            values = &BitTrace(curve.column, curve.bit);
            window.yScale = 0.7;
            window.yOffset = -(curve.bit + 0.15) / 0.7;
        } else if (percent) {
            const double range = max - min;
            window.yOffset = range > 0 ? min : min - 50; // a flat curve in the middle
            window.yScale = range > 0 ? 100.0 / range : 1;
        }
        DecimateCurve(*times, *values, window, points);
        curve.series->replace(QList<QPointF>(points.begin(), points.end()));
    }
    lane->SetTimeRange(fromMs_, toMs_, longLog_);
}

void LogWindow::Redraw()
{
    for (LogLaneView* lane : lanes_)
        RedrawLane(lane);
    UpdateLaneTitles();
    UpdateCursor();
}

void LogWindow::LaneResized(LogLaneView* lane)
{
    if (std::find(lanes_.begin(), lanes_.end(), lane) == lanes_.end())
        return;
    RedrawLane(lane);
    UpdateLaneTitles(int(std::find(lanes_.begin(), lanes_.end(), lane) - lanes_.begin()));
}

void LogWindow::UpdateLaneTitles(int only)
{
    for (int i = 0; i < LaneCount(); ++i) {
        if (only >= 0 && i != only)
            continue;
        LogLaneView* lane = lanes_[size_t(i)];
        const std::vector<int> columns = LaneColumns(i);
        QStringList parts;
        QStringList full;
        for (int column : columns) {
            QString name = ColumnName(column);
            const QString unit = UnitOf(column);
            if (!unit.isEmpty() && !lane->BitLane())
                name += QStringLiteral(" [") + unit + QLatin1Char(']');
            const QString stats = lane->BitLane() ? QString() : StatsText(column);
            full << (stats.isEmpty() ? name : name + QStringLiteral("   ") + stats);
            parts << (columns.size() > 2 ? name : full.back());
        }
        QString title = normalised_ && !lane->BitLane()
                            ? Text(QStringLiteral("Log_5")) + QStringLiteral(" [%]")
                            : parts.join(QStringLiteral("  ·  "));
        // Never cut without a way to read it: shortened with "…", the whole text as tooltip.
        const QFontMetrics metrics(lane->font());
        const QString shown = metrics.elidedText(title, Qt::ElideRight, lane->width() - 8);
        lane->SetTitle(shown, full.join(QLatin1Char('\n')));
    }
}

void LogWindow::ShowLaneMenu(LogLaneView* lane, const QPoint& globalPos)
{
    const int index = int(std::find(lanes_.begin(), lanes_.end(), lane) - lanes_.begin());
    if (index >= LaneCount() || laneGroup_[size_t(index)] < 0)
        return;
    QMenu menu(this);
    QMenu* onto = menu.addMenu(Text(QStringLiteral("Lane_1")));
    for (int other = 0; other < LaneCount(); ++other) {
        if (other == index || laneGroup_[size_t(other)] < 0)
            continue;
        QStringList names;
        for (int column : LaneColumns(other))
            names << ColumnName(column);
        onto->addAction(names.join(QStringLiteral(" · ")),
                        [this, index, other] { OverlayLane(index, other); });
    }
    onto->setEnabled(!onto->isEmpty());
    const std::vector<int> columns = LaneColumns(index);
    if (columns.size() > 1)
        for (int column : columns)
            menu.addAction(Text(QStringLiteral("Lane_2")).arg(ColumnName(column)),
                           [this, column] { SeparateColumn(column); });
    menu.exec(globalPos);
}

void LogWindow::OverlayLane(int from, int onto)
{
    if (from == onto || from < 0 || onto < 0 || from >= LaneCount() || onto >= LaneCount())
        return;
    const int source = laneGroup_[size_t(from)];
    const int target = laneGroup_[size_t(onto)];
    if (source < 0 || target < 0)
        return;
    std::vector<int>& into = groups_[size_t(target)];
    into.insert(into.end(), groups_[size_t(source)].begin(), groups_[size_t(source)].end());
    groups_.erase(groups_.begin() + source);
    BuildLanes();
}

void LogWindow::SeparateColumn(int column)
{
    for (std::vector<int>& group : groups_) {
        const auto it = std::find(group.begin(), group.end(), column);
        if (it == group.end() || group.size() < 2)
            continue;
        group.erase(it);
        groups_.push_back({column});
        std::sort(groups_.begin(), groups_.end(),
                  [](const auto& a, const auto& b) { return a.front() < b.front(); });
        BuildLanes();
        return;
    }
}

void LogWindow::SetCompareLog(LogData log, std::vector<LogEvent> events, const QString& path)
{
    auto ride = std::make_unique<CompareRide>();
    ride->log = std::move(log);
    ride->events = std::move(events);
    ride->name = QFileInfo(path).completeBaseName();
    for (size_t c = 0; c < ride->log.columns.size(); ++c) {
        const LogColumn& column = ride->log.columns[c];
        double min = std::numeric_limits<double>::max();
        double max = std::numeric_limits<double>::lowest();
        for (double v : column.values)
            if (!std::isnan(v)) {
                min = std::min(min, v);
                max = std::max(max, v);
            }
        ride->ranges.emplace_back(min, max);
        for (size_t m = 0; m < log_.columns.size(); ++m) {
            const LogColumn& mine = log_.columns[m];
            if (column.numericCount > 0 && column.bitCount == 0 && mine.bitCount == 0 &&
                !mine.name.isEmpty() && mine.name == column.name &&
                !ride->columnOf.contains(int(m)))
                ride->columnOf.insert(int(m), int(c));
        }
    }
    compare_ = std::move(ride);
    alignBox_->setVisible(true);
    alignBox_->setCurrentIndex(0);
    compare_->offsetMs = (log_.timesMs.empty() ? 0 : log_.timesMs.front()) -
                         (compare_->log.timesMs.empty() ? 0 : compare_->log.timesMs.front());
    UpdateCompareTimes();
    BuildLanes();
}

void LogWindow::UpdateCompareTimes()
{
    compare_->timesMs = compare_->log.timesMs;
    for (double& t : compare_->timesMs)
        t += compare_->offsetMs;
}

bool LogWindow::AlignCompareAtStart()
{
    if (!compare_)
        return false;
    compare_->offsetMs = (log_.timesMs.empty() ? 0 : log_.timesMs.front()) -
                         (compare_->log.timesMs.empty() ? 0 : compare_->log.timesMs.front());
    alignBox_->setCurrentIndex(0);
    UpdateCompareTimes();
    Redraw();
    return true;
}

bool LogWindow::AlignCompareAtEvent(int eventIndex)
{
    if (!compare_ || eventIndex < 0 || size_t(eventIndex) >= events_.size())
        return false;
    const LogEvent& mine = events_[size_t(eventIndex)];
    for (const LogEvent& other : compare_->events) {
        if (other.kind != mine.kind || other.code != mine.code)
            continue;
        compare_->offsetMs = mine.timeMs - other.timeMs;
        alignBox_->setCurrentIndex(1);
        UpdateCompareTimes();
        Redraw();
        return true;
    }
    AlignCompareAtStart();
    return false;
}

double LogWindow::CompareOffsetMs() const
{
    return compare_ ? compare_->offsetMs : 0;
}

} // namespace velmoro
