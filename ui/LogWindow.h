// The log window: a CSV value log as curves over time, with zoom, cursor, replay and export.
#pragma once

#include "output/LogReader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGraphicsLineItem;
class QLabel;
class QPushButton;
class QTimer;

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
class QCategoryAxis;
QT_END_NAMESPACE

namespace velmoro {

class LanguageTexts;

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

// A time on the axis and at the cursor: seconds ("12.5") for short logs, "m:ss" for logs of more
// than five minutes ("1:05:03" past an hour).
QString FormatLogTime(double timeMs, bool longLog);

// A separate top-level window that deletes itself when closed. Pixel columns of the plot set how
// many points each curve draws (DecimateCurve), so an hour of lines stays quick at any zoom.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    // clock may be null (the steady clock); otherwise it must outlive the window.
    LogWindow(LogData log, const QString& path, LanguageTexts& texts, QWidget* parent = nullptr,
              const ReplayClock* clock = nullptr);
    ~LogWindow() override;

    const LogData& Log() const { return log_; }

    // The shown time range, kept inside the log and at least 50 ms wide.
    void SetVisibleRange(double fromMs, double toMs);
    double VisibleFromMs() const { return fromMs_; }
    double VisibleToMs() const { return toMs_; }
    void ZoomAt(double centreMs, double factor); // factor < 1 zooms in
    void PanByMs(double deltaMs);
    void ResetZoom();

    // The cursor line and the values shown large below the plot.
    void SetCursorMs(double timeMs);
    double CursorMs() const { return cursorMs_; }
    // The text of column i's field ("1200 rpm", "----"), and the time shown with them.
    QString CursorValueText(int column) const;
    QString CursorTimeText() const;

    // All curves on one 0-100 % scale (min..max of each), or each on its own axis.
    void SetNormalised(bool normalised);
    bool Normalised() const { return normalised_; }
    void SetCurveVisible(int column, bool visible);
    bool CurveVisible(int column) const;
    // Legend text of column i: name, unit and range.
    QString LegendText(int column) const;

    // Replay moves the cursor at speed times real time from where it stands; it stops at the end.
    void Play();
    void Pause();
    bool Playing() const { return playing_; }
    void SetReplaySpeed(int factor); // 1, 2, 4 or 8
    int ReplaySpeed() const { return speed_; }
    // Moves the cursor to where the clock says replay has got to (run by the replay timer).
    void AdvanceReplay();

    // The visible range as a picture (PNG, or a Windows bitmap when the name ends in ".bmp") of
    // the plot's size, and as CSV lines unchanged from the log.
    bool SaveImage(const QString& path);
    bool SaveCsvSlice(const QString& path);
    // Ask for a name and save; false when cancelled or not written (a message says so).
    bool ExportImage();
    bool ExportCsvSlice();

    // Replaces the save-file dialog (tests): parent, title, start name, filter, chosen filter.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&, QString*)>
        askSaveFileName;

    QChartView* ChartView() const { return view_; }
    QChart* Chart() const { return chart_; }
    // Points the curves draw at present, all together.
    int DrawnPointCount() const;
    QStringList AxisLabels() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LogChartView;

    struct Curve {
        int column = 0;
        QLineSeries* series = nullptr;
        QValueAxis* axis = nullptr;
        double minValue = 0;
        double maxValue = 0;
        bool visible = true;
    };

    void BuildChart();
    void BuildAxes();
    void Redraw();
    void UpdateTimeAxis();
    void UpdateCursor();
    double PixelToMs(double viewX) const;
    int PlotColumns() const;
    QString Text(const QString& key) const;

    LogData log_;
    QString path_;
    LanguageTexts& texts_;
    QHash<QString, QString> units_;
    std::unique_ptr<SteadyReplayClock> ownClock_;
    const ReplayClock* clock_;

    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* percentAxis_ = nullptr;
    QGraphicsLineItem* cursorLine_ = nullptr;
    std::vector<Curve> curves_;
    std::vector<QLabel*> valueNames_;
    std::vector<QLabel*> valueFields_; // one per column of the log
    QLabel* cursorTime_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QCheckBox* normalisedBox_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QComboBox* speedBox_ = nullptr;
    QTimer* replayTimer_ = nullptr;

    double fromMs_ = 0;
    double toMs_ = 0;
    double cursorMs_ = 0;
    bool normalised_ = false;
    bool longLog_ = false;
    bool playing_ = false;
    int speed_ = 1;
    double replayStartCursorMs_ = 0;
    qint64 replayStartClockMs_ = 0;
};

// Reads the log and opens a window on it (shown, deleted on close). Null when the file cannot be
// read; then *error (if given) holds the message to show.
LogWindow* OpenLogWindow(QWidget* parent, const QString& csvPath, LanguageTexts& texts,
                         QString* error);

// The file dialog of File > Open log: CSV files, starting in the logging directory. Empty when
// cancelled.
QString AskLogFile(QWidget* parent, const QString& loggingDirectory, LanguageTexts& texts);

} // namespace velmoro
