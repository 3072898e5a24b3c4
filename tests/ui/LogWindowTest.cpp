// The log window under the offscreen platform: a ride from the simulated bike opens, zooms with
// the wheel and a rubber band, shows the values at the cursor, replays against a hand-moved clock
// and exports what is visible.
#include "ui/LogWindow.h"
#include "support/SimulatedRideLog.h"

#include <QApplication>
#include <QChartView>
#include <QImage>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmoro;
using namespace velmoro::test;

namespace {

class ManualClock : public ReplayClock {
public:
    qint64 now = 100000;
    qint64 NowMs() const override { return now; }
};

class LogWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LoadDefaultEnglish(texts);
        // Ten minutes of a MIUG4 ride at 20 lines a second, the eighth chooser empty.
        ride = WriteSimulatedRideLog(dir.path() + "/", kSimFamilyMiug4, 12000,
                                     {1, 2, 3, 5, 6, 9, 86, 0});
        LogReadResult read = ReadLogFile(ride.fileName);
        ASSERT_TRUE(read.Ok());
        window =
            std::make_unique<LogWindow>(std::move(read.log), ride.fileName, texts, nullptr, &clock);
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
    }

    void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
               const QPoint& at) const
    {
        QMouseEvent event(type, at, window->ChartView()->viewport()->mapToGlobal(at), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(window->ChartView()->viewport(), &event);
    }

    QPoint PlotPoint(double timeMs) const
    {
        const QRectF area = window->Chart()->plotArea();
        const double x = area.left() + (timeMs - window->VisibleFromMs()) /
                                           (window->VisibleToMs() - window->VisibleFromMs()) *
                                           area.width();
        return window->ChartView()->mapFromScene(
            window->Chart()->mapToScene(QPointF(x, area.center().y())));
    }

    QTemporaryDir dir;
    LanguageTexts texts;
    RideLog ride;
    ManualClock clock;
    std::unique_ptr<LogWindow> window;
};

} // namespace

TEST_F(LogWindowTest, OpensZoomsAndShowsTheValuesAtTheCursor)
{
    EXPECT_DOUBLE_EQ(window->VisibleFromMs(), 0);
    EXPECT_DOUBLE_EQ(window->VisibleToMs(), 11999 * 50);
    // Ten minutes is a long log: m:ss labels. Engine temperature has its unit in the legend.
    EXPECT_TRUE(window->AxisLabels().contains("4:00"))
        << window->AxisLabels().join(' ').toStdString();
    EXPECT_TRUE(window->LegendText(3).startsWith("Engine temperature [°C]"));
    // Whatever the zoom, a curve draws at most four points per pixel column (and its edges).
    const int columns = int(window->Chart()->plotArea().width());
    EXPECT_LE(window->DrawnPointCount(), 6 * (4 * columns + 2));

    // The wheel zooms in around the pointer.
    const QPoint middle = PlotPoint(300000);
    QWheelEvent wheel(middle, window->ChartView()->mapToGlobal(middle), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window->ChartView()->viewport(), &wheel);
    const double span = window->VisibleToMs() - window->VisibleFromMs();
    EXPECT_NEAR(span, 0.8 * 11999 * 50, 1);
    EXPECT_NEAR(window->VisibleFromMs() + (window->VisibleToMs() - window->VisibleFromMs()) / 2,
                300000, 2000);

    // A rubber band with the right button zooms to 100 s .. 110 s; the labels stay m:ss.
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, PlotPoint(100000));
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, PlotPoint(110000));
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, PlotPoint(110000));
    EXPECT_NEAR(window->VisibleFromMs(), 100000, 600);
    EXPECT_NEAR(window->VisibleToMs(), 110000, 600);
    const QStringList labels = window->AxisLabels();
    EXPECT_GE(labels.size(), 3);
    for (const QString& label : labels)
        EXPECT_TRUE(label.startsWith("1:4") || label == "1:50") << label.toStdString();

    // A click sets the cursor; its fields show the texts of that line, with units.
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, PlotPoint(105000));
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, PlotPoint(105000));
    const int row = LogRowAt(window->Log(), window->CursorMs());
    EXPECT_NEAR(row, 2100, 2);
    EXPECT_EQ(window->CursorValueText(0), ride.rows[std::size_t(row)][0]);
    EXPECT_EQ(window->CursorValueText(3), ride.rows[std::size_t(row)][3] + "°C");
    EXPECT_EQ(window->CursorValueText(6), "----");

    // Legend clicks hide and show a curve; the reset button shows the whole ride again.
    const QList<QLegendMarker*> markers = window->Chart()->legend()->markers();
    ASSERT_EQ(markers.size(), 6); // the column of "----" only draws no curve
    emit markers[0]->clicked();
    EXPECT_FALSE(window->CurveVisible(0));
    EXPECT_FALSE(window->Chart()->series()[0]->isVisible());
    window->SetNormalised(true);
    window->ResetZoom();
    EXPECT_DOUBLE_EQ(window->VisibleToMs() - window->VisibleFromMs(), 11999 * 50);

    // Export: a PNG of the plot's size and a CSV slice of the visible lines.
    window->SetVisibleRange(60000, 61000);
    window->askSaveFileName = [&](QWidget*, const QString&, const QString&, const QString&,
                                  QString* filter) {
        *filter = "PNG (*.png)";
        return dir.path() + "/shot";
    };
    ASSERT_TRUE(window->ExportImage());
    const QImage shot(dir.path() + "/shot.png");
    const qreal ratio = window->ChartView()->devicePixelRatioF();
    EXPECT_EQ(shot.size(), window->ChartView()->size() * ratio);
    window->askSaveFileName = [&](QWidget*, const QString&, const QString&, const QString&,
                                  QString* filter) {
        *filter = "Bild (*.bmp)";
        return dir.path() + "/shot.BMP";
    };
    ASSERT_TRUE(window->ExportImage());
    EXPECT_EQ(QImage(dir.path() + "/shot.BMP.bmp").size(), shot.size());
    ASSERT_TRUE(window->SaveCsvSlice(dir.path() + "/slice.csv"));
    const LogReadResult slice = ReadLogFile(dir.path() + "/slice.csv");
    ASSERT_TRUE(slice.Ok());
    EXPECT_EQ(slice.log.RowCount(), 21);
    EXPECT_DOUBLE_EQ(slice.log.timesMs.front(), 60000);
}

TEST_F(LogWindowTest, ReplayMovesTheCursorAtTheChosenSpeedOfTheClock)
{
    window->SetVisibleRange(0, 20000);
    window->SetCursorMs(1000);
    window->Play();
    ASSERT_TRUE(window->Playing());
    clock.now += 1000;
    window->AdvanceReplay();
    EXPECT_DOUBLE_EQ(window->CursorMs(), 2000);

    window->SetReplaySpeed(8);
    clock.now += 500;
    window->AdvanceReplay();
    EXPECT_DOUBLE_EQ(window->CursorMs(), 6000);
    const int row = LogRowAt(window->Log(), 6000);
    EXPECT_EQ(window->CursorValueText(0), ride.rows[std::size_t(row)][0]);

    // Playing past the visible range pages the view along with the cursor.
    clock.now += 3000;
    window->AdvanceReplay();
    EXPECT_DOUBLE_EQ(window->CursorMs(), 30000);
    EXPECT_LE(window->VisibleFromMs(), 30000);
    EXPECT_GE(window->VisibleToMs(), 30000);

    // Replay stops at the end of the log.
    clock.now += 600000;
    window->AdvanceReplay();
    EXPECT_FALSE(window->Playing());
    EXPECT_DOUBLE_EQ(window->CursorMs(), 11999 * 50);
}

TEST(LogWindowOpenTest, UnreadableFileGivesOneMessageAndEnglishStandsInForMissingKeys)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/ragged.csv";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"Time in ms\",\"RPM\"\r\n\"0\",\"1\"\r\n\"50\",\"2\",\"3\"\r\n");
    file.close();

    LanguageTexts german;
    german.Set("Log_10", "Das Log kann nicht gelesen werden.");
    german.Set("Log_11", "Zeile %1");
    // Log_18 is missing, as in a settings file older than the log window.
    QString error;
    EXPECT_EQ(OpenLogWindow(nullptr, path, german, &error), nullptr);
    EXPECT_TRUE(error.endsWith("Das Log kann nicht gelesen werden.\nZeile 3: The line has 3 "
                               "fields, the first line 2."))
        << error.toStdString();
}
