// The lanes of the log window: one strip per value (or per group of overlaid values) on the
// shared time axis, each with its own scale, name, cursor value and event markers.
#pragma once

#include <QChartView>
#include <QColor>
#include <QString>
#include <functional>
#include <vector>

class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QGraphicsRectItem;
class QRubberBand;

QT_BEGIN_NAMESPACE
class QCategoryAxis;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace velmoro {

class LogWindow;

// A time on the axis and at the cursor: seconds ("12.5") for short logs, "m:ss" for logs of more
// than five minutes ("1:05:03" past an hour). `decimals` (-1: as few as the time needs, at most
// two) gives tenths and hundredths of a second at deep zoom ("1:05.25").
QString FormatLogTime(double timeMs, bool longLog, int decimals = -1);

// A tick step of 1, 2 or 5 times a power of ten seconds, or for m:ss labels whole seconds and
// minutes, giving about `wanted` ticks over spanMs; and the decimals its labels need.
double TickStepMs(double spanMs, int wanted, bool longLog);
int TickDecimals(double stepMs);

QColor CurveColour(int i);

// One curve of a lane: a column of the log, or of the ride overlaid to compare.
struct LaneCurve {
    int column = 0;
    bool compare = false; // of the second ride
    int bit = -1;         // the bit drawn, in a bit lane
    QLineSeries* series = nullptr;
};

// Fixed margins around each lane's plot, the same in all lanes so that their time axes line up.
constexpr int kLaneLeft = 64;
constexpr int kLaneRight = 14;
constexpr int kLaneTop = 20;
constexpr int kLaneBottom = 6;
constexpr int kLaneTimeLabels = 26; // below the last lane
constexpr int kLaneMinHeight = 84;
constexpr int kLaneLegend = 30; // a lane of several curves names them above its plot

// One lane: a chart with its own value axis (or bit rows), a time axis whose labels only the
// last lane shows, the cursor line and the event markers. Mouse input goes to the window: wheel
// zooms around the pointer, a drag pans, a click sets the cursor, a right drag zooms to its
// band; clicks on the legend go to the legend (hiding a curve).
class LogLaneView : public QChartView {
public:
    LogLaneView(LogWindow* window, bool bitLane);

    LogWindow* Window() const { return window_; }
    bool BitLane() const { return bitLane_; }
    std::vector<LaneCurve>& Curves() { return curves_; }
    const std::vector<LaneCurve>& Curves() const { return curves_; }
    QValueAxis* ValueAxis() const { return valueAxis_; }
    QCategoryAxis* TimeAxis() const { return timeAxis_; }

    void AddCurve(const LaneCurve& curve, const QString& name, const QPen& pen);
    // Shows the time labels under this lane (the last one) or not.
    void SetTimeLabels(bool shown);
    void SetTitle(const QString& title, const QString& tooltip);
    void SetLegendShown(bool shown);
    // The height the plot needs at least (bit lanes need a row per bit); the time labels and a
    // legend come on top.
    void SetPlotMinimumHeight(int pixels);
    // The value scale from low to high with a few labelled ticks (nice numbers), or for a bit
    // lane one row per name, the first at the bottom.
    void SetValueRange(double low, double high);
    void SetBitRows(const QStringList& names);
    QStringList ScaleLabels() const;
    // Time axis and ticks for [fromMs, toMs]; the cursor and markers where they fall.
    void SetTimeRange(double fromMs, double toMs, bool longLog);
    void SetCursor(double timeMs, const QString& valueText);
    // Event markers: time and colour of each; only those in the visible range are drawn.
    void SetMarkers(const std::vector<std::pair<double, QColor>>& markers);

    int PlotColumns() const;
    // The chart has laid out its plot at least once (before, its width is a guess).
    bool LaidOut() const { return drawnWidth_ > 0; }
    double XToMs(double viewX) const;
    QPointF MsToView(double timeMs) const;
    QString CursorText() const;
    // Event markers drawn at present (those in the visible range).
    int ShownMarkerCount() const;

    // Fills the menu of this lane (right click without a drag).
    std::function<void(LogLaneView*, const QPoint& globalPos)> onMenu;

    // The drag of a lane onto another carries this type, the index of the dragged lane as data.
    static constexpr const char* kLaneMimeType = "application/x-velmoro-lane";
    // Run when a lane is dropped onto this one: the index of the dragged lane.
    std::function<void(LogLaneView*, int from)> onDropLane;
    int index = -1; // position among the window's lanes

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PlaceItems();
    bool OnLegend(const QPointF& viewPos) const;

    LogWindow* window_;
    bool bitLane_;
    std::vector<LaneCurve> curves_;
    QValueAxis* valueAxis_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QGraphicsLineItem* cursorLine_ = nullptr;
    QGraphicsSimpleTextItem* cursorText_ = nullptr;
    QGraphicsRectItem* cursorTextBack_ = nullptr;
    QGraphicsSimpleTextItem* title_ = nullptr;
    std::vector<QGraphicsLineItem*> markerLines_;
    std::vector<std::pair<double, QString>> scale_; // value on the axis, its label
    std::vector<QGraphicsSimpleTextItem*> scaleItems_;
    std::vector<std::pair<double, QColor>> markers_;
    bool timeLabels_ = false;
    bool legendShown_ = false;
    double fromMs_ = 0;
    double toMs_ = 1;
    double cursorMs_ = 0;
    QString cursorValue_;

    QRubberBand* band_ = nullptr;
    double pressX_ = 0;
    QPointF pressPos_;
    double lastX_ = 0;
    bool dragged_ = false;
    bool legendPress_ = false;
    bool titlePress_ = false; // a press on the lane's name: a drag moves the lane onto another
    int drawnWidth_ = -1;     // plot width the curves were last thinned for
    int plotMinimumHeight_ = kLaneMinHeight;

    void UpdateMinimumHeight();
};

} // namespace velmoro
