// The log window: a CSV value log as curves over time, with zoom, cursor, replay and export.
#pragma once

#include "output/EventLog.h"
#include "output/LogReader.h"
#include "ui/LogLanes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;

namespace velmoro {

class LanguageTexts;
class LogLaneView;

// Where replay takes its time from: the steady clock in the program, a hand-moved one in tests.
class ReplayClock {
public:
    virtual ~ReplayClock() = default;
    virtual qint64 NowMs() const = 0;
};

class SteadyReplayClock : public ReplayClock {
public:
    SteadyReplayClock() { timer_.start(); }
    qint64 NowMs() const override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

// The text of one of the window's keys ("Log_1", ...): the language's own, or the English one of
// the built-in default file where the user's settings file is older and lacks the key.
QString LogWindowText(LanguageTexts& texts, const QString& key);

// One message for a log that cannot be opened: the file, the line and the reason.
QString LogErrorMessage(const LogReadResult& result, const QString& path, LanguageTexts& texts);

// A separate top-level window that deletes itself when closed. Each value has a lane of its own
// (status bit fields one on/off trace per bit) on one shared time axis; values can be overlaid in
// one lane, all of them on 0-100 % ("Normalised"), and a second ride can be overlaid to compare.
// Pixel columns of each lane set how many points its curves draw (DecimateCurve), so an hour of
// lines stays quick at any zoom.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    // clock may be null (the steady clock); otherwise it must outlive the window. events are those
    // of the ride's event file (empty when it has none).
    LogWindow(LogData log, const QString& path, LanguageTexts& texts, QWidget* parent = nullptr,
              const ReplayClock* clock = nullptr, std::vector<LogEvent> events = {});
    ~LogWindow() override;

    const LogData& Log() const { return log_; }

    // The shown time range, kept inside the log and at least 50 ms wide; every lane shows it.
    void SetVisibleRange(double fromMs, double toMs);
    double VisibleFromMs() const { return fromMs_; }
    double VisibleToMs() const { return toMs_; }
    void ZoomAt(double centreMs, double factor); // factor < 1 zooms in
    void PanByMs(double deltaMs);
    void ResetZoom();

    // The cursor line through every lane, with each lane's value beside it.
    void SetCursorMs(double timeMs);
    double CursorMs() const { return cursorMs_; }
    // The text of column i's field ("1200 rpm", "----"), and the time shown with them.
    QString CursorValueText(int column) const;
    QString CursorTimeText() const;

    // The lanes from top to bottom and the columns of the log each one draws.
    int LaneCount() const { return int(lanes_.size()); }
    LogLaneView* Lane(int lane) const { return lanes_[size_t(lane)]; }
    std::vector<int> LaneColumns(int lane) const;
    int LaneOfColumn(int column) const;
    // The value beside the cursor line in a lane ("1200", "1200 · 13.8V", "00001101").
    QString LaneCursorText(int lane) const;
    // Moves the values of lane `from` into lane `onto` (one lane with both scales merged), or
    // gives a column its own lane again.
    void OverlayLane(int from, int onto);
    void SeparateColumn(int column);
    // What Save picture shows: all lanes, also those scrolled out of sight.
    QWidget* LanesWidget() const { return lanesWidget_; }

    // All curves (bit fields excepted) in one lane on 0-100 % (min..max of each), or lanes.
    void SetNormalised(bool normalised);
    bool Normalised() const { return normalised_; }
    void SetCurveVisible(int column, bool visible);
    bool CurveVisible(int column) const;
    // Legend text of column i: name and unit (and its ride when a second one is overlaid, its
    // range on the 0-100 % scale).
    QString LegendText(int column) const;

    // Smallest, largest and mean value of a column over the visible range (count 0: none there).
    struct Stats {
        double min = 0;
        double max = 0;
        double mean = 0;
        int count = 0;
    };
    Stats VisibleStats(int column) const;

    // The events of the ride, as markers across all lanes and in the list beside them.
    const std::vector<LogEvent>& Events() const { return events_; }
    QListWidget* EventList() const { return eventList_; }
    // Moves the cursor to the event (and the view to it when it lies outside).
    void GoToEvent(int index);
    // The values were invented by the simulator (the event file or the file name says so).
    bool Simulated() const { return simulated_; }

    // A second ride drawn dashed over the lanes of the values it shares with this one.
    void SetCompareLog(LogData log, std::vector<LogEvent> events, const QString& path);
    bool HasCompareLog() const { return compare_ != nullptr; }
    // Aligned at the start of both rides, or at this ride's event `eventIndex` and the first
    // event of the second ride of the same kind and code. False (and aligned at the start) when
    // the second ride has no such event.
    bool AlignCompareAtStart();
    bool AlignCompareAtEvent(int eventIndex);
    double CompareOffsetMs() const;
    // Asks for the second ride's file and overlays it; false when cancelled or unreadable.
    bool ChooseCompareLog();
    // Says in the event list that `count` lines of the event file could not be read.
    void NoteEventProblems(int count);

    // Replay moves the cursor at speed times real time from where it stands; it stops at the end.
    void Play();
    void Pause();
    bool Playing() const { return playing_; }
    void SetReplaySpeed(int factor); // 1, 2, 4 or 8
    int ReplaySpeed() const { return speed_; }
    // Moves the cursor to where the clock says replay has got to (run by the replay timer).
    void AdvanceReplay();

    // All lanes as a picture (PNG, or a Windows bitmap when the name ends in ".bmp"), and the
    // visible range as CSV lines unchanged from the log.
    bool SaveImage(const QString& path);
    bool SaveCsvSlice(const QString& path);
    // Ask for a name and save; false when cancelled or not written (a message says so).
    bool ExportImage();
    bool ExportCsvSlice();
    // The filters of the picture dialog, in the window's language.
    QString PngFilter() const;
    QString BmpFilter() const;

    // Replaces the save-file dialog (tests): parent, title, start name, filter, chosen filter.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&, QString*)>
        askSaveFileName;
    // Replaces the open-file dialog of the ride to compare (tests): returns the chosen path.
    std::function<QString()> askCompareFileName;

    // Points the curves draw at present, all lanes together.
    int DrawnPointCount() const;
    // The time labels under the last lane.
    QStringList AxisLabels() const;

    // Run by a lane whose plot width changed: its curves are thinned again for the new width.
    void LaneResized(LogLaneView* lane);

private:
    // The second ride overlaid to compare: its log, events and the shift that aligns it.
    struct CompareRide {
        LogData log;
        std::vector<LogEvent> events;
        QString name;
        double offsetMs = 0;
        std::vector<double> timesMs;                   // its times shifted by offsetMs
        QHash<int, int> columnOf;                      // column here -> same value there
        std::vector<std::pair<double, double>> ranges; // min, max per column there
    };

    void BuildLanes();
    void BuildEventList();
    void AddLaneCurves(LogLaneView* lane, const std::vector<int>& columns, bool percent);
    void RedrawLane(LogLaneView* lane);
    void Redraw();
    void UpdateCursor();
    void UpdateLaneTitles(int only = -1); // one lane, or all (-1)
    void ShowLaneMenu(LogLaneView* lane, const QPoint& globalPos);
    QString ColumnName(int column) const;
    QString UnitOf(int column) const;
    QString CurveName(int column, bool compare) const;
    QString StatsText(int column) const;
    void UpdateCompareTimes();
    void ApplyCurveVisibility();
    QString Text(const QString& key) const;
    const std::vector<double>& BitTrace(int column, int bit);

    LogData log_;
    QString path_;
    LanguageTexts& texts_;
    QHash<QString, QString> units_;
    std::unique_ptr<SteadyReplayClock> ownClock_;
    const ReplayClock* clock_;
    std::vector<LogEvent> events_;
    std::unique_ptr<CompareRide> compare_;

    struct ColumnRange {
        double min = 0;
        double max = 0;
    };
    std::vector<ColumnRange> ranges_;           // per column of the log
    std::vector<std::vector<int>> groups_;      // lanes of ordinary values, in order
    QHash<int, std::vector<double>> bitTraces_; // column * 64 + bit -> 0/1 per row
    std::vector<LogLaneView*> lanes_;
    std::vector<int> laneGroup_; // per lane: its index in groups_, -1 for bit and percent lanes
    QScrollArea* scroll_ = nullptr;
    QWidget* lanesWidget_ = nullptr;
    QVBoxLayout* lanesLayout_ = nullptr;
    QListWidget* eventList_ = nullptr;
    QLabel* simulatedNote_ = nullptr;
    QSet<int> hidden_; // columns whose curves are hidden (by a legend click)

    std::vector<QLabel*> valueNames_;
    std::vector<QLabel*> valueFields_; // per column of the log; only text columns show them
    QLabel* cursorTime_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QCheckBox* normalisedBox_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QComboBox* speedBox_ = nullptr;
    QComboBox* alignBox_ = nullptr;
    QTimer* replayTimer_ = nullptr;

    double fromMs_ = 0;
    double toMs_ = 0;
    double cursorMs_ = 0;
    bool normalised_ = false;
    bool longLog_ = false;
    bool simulated_ = false;
    bool playing_ = false;
    int speed_ = 1;
    double replayStartCursorMs_ = 0;
    qint64 replayStartClockMs_ = 0;
};

// Reads the log and the event file beside it and opens a window on them (shown, deleted on
// close). Null when the log cannot be read; then *error (if given) holds the message to show.
LogWindow* OpenLogWindow(QWidget* parent, const QString& csvPath, LanguageTexts& texts,
                         QString* error);

// The file dialog of File > Open log: CSV files, starting in the logging directory. Empty when
// cancelled.
QString AskLogFile(QWidget* parent, const QString& loggingDirectory, LanguageTexts& texts);

} // namespace velmoro
