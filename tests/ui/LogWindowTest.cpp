// The log window under the offscreen platform: a ride from the simulated bike opens in lanes,
// zooms every lane with the wheel and a rubber band, shows each lane's value at the cursor,
// replays against a hand-moved clock, exports what is shown, hides curves by legend clicks,
// lists the ride's events and overlays a second ride.
#include "ui/LogWindow.h"
#include "support/SimulatedRideLog.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineSeries>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
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
        // Ten minutes of a MIUG4 ride at 20 lines a second: six values, one never read and a
        // status bit field.
        ride = WriteSimulatedRideLog(dir.path() + "/", kSimFamilyMiug4, 12000,
                                     {1, 2, 3, 5, 6, 9, 86, 31});
        LogReadResult read = ReadLogFile(ride.fileName);
        ASSERT_TRUE(read.Ok());
        window =
            std::make_unique<LogWindow>(std::move(read.log), ride.fileName, texts, nullptr, &clock);
        window->resize(1000, 900);
        window->show();
        QApplication::processEvents();
    }

    static void Mouse(LogLaneView* lane, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons buttons, const QPoint& at)
    {
        QMouseEvent event(type, at, lane->viewport()->mapToGlobal(at), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(lane->viewport(), &event);
    }

    QPoint At(int lane, double timeMs) const
    {
        return window->Lane(lane)->MsToView(timeMs).toPoint();
    }

    QTemporaryDir dir;
    LanguageTexts texts;
    RideLog ride;
    ManualClock clock;
    std::unique_ptr<LogWindow> window;
};

// Where a legend entry's label is drawn in the lane, in viewport coordinates.
QPoint LegendEntry(LogLaneView* lane, const QString& startOfLabel)
{
    for (QGraphicsItem* item : lane->scene()->items()) {
        QString text;
        if (auto* rich = dynamic_cast<QGraphicsTextItem*>(item))
            text = rich->toPlainText();
        else if (auto* simple = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            text = simple->text();
        if (!text.startsWith(startOfLabel) || !item->isVisible())
            continue;
        const QPointF centre = item->sceneBoundingRect().center();
        if (lane->chart()->legend()->sceneBoundingRect().contains(centre))
            return lane->mapFromScene(centre);
    }
    return {-1, -1};
}

} // namespace

TEST_F(LogWindowTest, OneLanePerValueZoomedTogetherWithEachLanesValueAtTheCursor)
{
    // Six value lanes, the status bits in a lane of their own; the column never read has none.
    ASSERT_EQ(window->Log().columns[7].bitCount, 8);
    ASSERT_EQ(window->LaneCount(), 7);
    for (int lane = 0; lane < 6; ++lane)
        EXPECT_EQ(window->LaneColumns(lane), std::vector<int>{lane});
    EXPECT_EQ(window->LaneColumns(6), std::vector<int>{7});
    LogLaneView* bits = window->Lane(6);
    ASSERT_TRUE(bits->BitLane());
    ASSERT_EQ(bits->Curves().size(), 8u);
    EXPECT_EQ(bits->ScaleLabels().front(), "Bit 0");
    // Drawn as on/off rows between 0 and 8, never as the decimal number 1101.
    for (const LaneCurve& curve : bits->Curves())
        for (const QPointF& p : curve.series->points())
            EXPECT_TRUE(p.y() >= 0 && p.y() <= 8) << p.y();

    // The first drawing is thinned for the plot's real width, not for a hundred columns.
    const int columns = window->Lane(0)->PlotColumns();
    EXPECT_GT(columns, 600);
    EXPECT_GT(window->Lane(0)->Curves()[0].series->count(), 4 * 100 + 2);
    EXPECT_LE(window->Lane(0)->Curves()[0].series->count(), 4 * columns + 2);
    // Ten minutes is a long log: m:ss labels under the last lane only.
    EXPECT_TRUE(window->AxisLabels().contains("4:00"))
        << window->AxisLabels().join(' ').toStdString();
    EXPECT_FALSE(window->Lane(0)->TimeAxis()->labelsVisible());
    EXPECT_TRUE(window->LegendText(3).startsWith("Engine temperature [°C]"));

    // The wheel over one lane zooms every lane around the pointer.
    const QPoint middle = At(2, 300000);
    QWheelEvent wheel(middle, window->Lane(2)->viewport()->mapToGlobal(middle), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window->Lane(2)->viewport(), &wheel);
    EXPECT_NEAR(window->VisibleToMs() - window->VisibleFromMs(), 0.8 * 11999 * 50, 1);
    EXPECT_NEAR((window->VisibleFromMs() + window->VisibleToMs()) / 2, 300000, 2000);
    for (int lane = 0; lane < window->LaneCount(); ++lane) {
        EXPECT_DOUBLE_EQ(window->Lane(lane)->TimeAxis()->min(), window->VisibleFromMs() / 1000);
        EXPECT_DOUBLE_EQ(window->Lane(lane)->TimeAxis()->max(), window->VisibleToMs() / 1000);
    }

    // A rubber band with the right button zooms to 100 s .. 110 s; the labels stay m:ss.
    Mouse(window->Lane(0), QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton,
          At(0, 100000));
    Mouse(window->Lane(0), QEvent::MouseMove, Qt::NoButton, Qt::RightButton, At(0, 110000));
    Mouse(window->Lane(0), QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton,
          At(0, 110000));
    EXPECT_NEAR(window->VisibleFromMs(), 100000, 600);
    EXPECT_NEAR(window->VisibleToMs(), 110000, 600);
    for (int lane = 0; lane < window->LaneCount(); ++lane)
        EXPECT_NEAR(window->Lane(lane)->TimeAxis()->min() * 1000, window->VisibleFromMs(), 1e-6);
    const QStringList labels = window->AxisLabels();
    EXPECT_GE(labels.size(), 3);
    for (const QString& label : labels)
        EXPECT_TRUE(label.startsWith("1:4") || label == "1:50") << label.toStdString();

    // A click in one lane sets the cursor for all; each lane shows its value of that line.
    Mouse(window->Lane(1), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, At(1, 105000));
    Mouse(window->Lane(1), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, At(1, 105000));
    const int row = LogRowAt(window->Log(), window->CursorMs());
    EXPECT_NEAR(row, 2100, 2);
    for (int lane = 0; lane < 6; ++lane) {
        EXPECT_EQ(window->Lane(lane)->CursorText(), window->CursorValueText(lane));
        EXPECT_TRUE(window->CursorValueText(lane).startsWith(
            ride.rows[std::size_t(row)][std::size_t(lane)]));
    }
    EXPECT_EQ(window->Lane(3)->CursorText(), ride.rows[std::size_t(row)][3] + "°C");
    EXPECT_EQ(window->Lane(6)->CursorText(), ride.rows[std::size_t(row)][7]);
    EXPECT_EQ(window->CursorValueText(6), "----");

    // Deep zoom labels tenths of a second; min, max and mean are those of the visible lines.
    window->SetVisibleRange(100000, 100600);
    const QStringList deep = window->AxisLabels();
    EXPECT_TRUE(deep.contains("1:40.1") || deep.contains("1:40.2")) << deep.join(' ').toStdString();
    const LogWindow::Stats stats = window->VisibleStats(0);
    double low = 1e9, high = -1e9, sum = 0;
    for (int r = 2000; r <= 2012; ++r) {
        const double v = ride.rows[std::size_t(r)][0].toDouble();
        low = std::min(low, v);
        high = std::max(high, v);
        sum += v;
    }
    EXPECT_EQ(stats.count, 13);
    EXPECT_DOUBLE_EQ(stats.min, low);
    EXPECT_DOUBLE_EQ(stats.max, high);
    EXPECT_NEAR(stats.mean, sum / 13, 1e-9);

    // Save picture holds every lane; the filter names come from the language texts.
    window->askSaveFileName = [&](QWidget*, const QString&, const QString&, const QString& filter,
                                  QString* chosen) {
        EXPECT_EQ(filter, "PNG picture (*.png);;Bitmap (*.bmp)");
        *chosen = window->PngFilter();
        return dir.path() + "/shot";
    };
    ASSERT_TRUE(window->ExportImage());
    const QImage shot(dir.path() + "/shot.png");
    const qreal ratio = window->LanesWidget()->devicePixelRatioF();
    EXPECT_EQ(shot.size(), window->LanesWidget()->size() * ratio);
    EXPECT_GE(window->LanesWidget()->height(), 7 * kLaneMinHeight);
    window->askSaveFileName = [&](QWidget*, const QString&, const QString&, const QString&,
                                  QString* chosen) {
        *chosen = window->BmpFilter();
        return dir.path() + "/shot.BMP";
    };
    ASSERT_TRUE(window->ExportImage());
    EXPECT_EQ(QImage(dir.path() + "/shot.BMP.bmp").size(), shot.size());
    window->SetVisibleRange(60000, 61000);
    ASSERT_TRUE(window->SaveCsvSlice(dir.path() + "/slice.csv"));
    const LogReadResult slice = ReadLogFile(dir.path() + "/slice.csv");
    ASSERT_TRUE(slice.Ok());
    EXPECT_EQ(slice.log.RowCount(), 21);
    EXPECT_DOUBLE_EQ(slice.log.timesMs.front(), 60000);

    // Dropping a lane onto another (or its menu) puts both values in one lane with a legend.
    QMimeData lane5;
    lane5.setData(LogLaneView::kLaneMimeType, "5");
    const QPoint onto = At(4, 200000);
    QDragEnterEvent enter(onto, Qt::MoveAction, &lane5, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Lane(4)->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(onto), Qt::MoveAction, &lane5, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Lane(4)->viewport(), &drop);
    QApplication::processEvents();
    EXPECT_EQ(window->LaneCount(), 6);
    EXPECT_EQ(window->LaneColumns(4), (std::vector<int>{4, 5}));
    EXPECT_EQ(window->LaneCursorText(4),
              window->CursorValueText(4) + " · " + window->CursorValueText(5));
    window->SeparateColumn(5);
    EXPECT_EQ(window->LaneCount(), 7);
}

TEST_F(LogWindowTest, LegendClickWithTheMouseHidesAndShowsTheCurve)
{
    window->SetNormalised(true);
    QApplication::processEvents();
    // "Normalised": every value on 0-100 % in one lane, the bit field below it.
    ASSERT_EQ(window->LaneCount(), 2);
    LogLaneView* lane = window->Lane(0);
    EXPECT_EQ(window->LaneColumns(0), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    const QPoint entry = LegendEntry(lane, "Engine");
    ASSERT_GE(entry.x(), 0);
    const double cursor = window->CursorMs();
    QTest::mouseClick(lane->viewport(), Qt::LeftButton, Qt::NoModifier, entry);
    EXPECT_FALSE(window->CurveVisible(3));
    EXPECT_FALSE(lane->Curves()[3].series->isVisible());
    EXPECT_TRUE(window->CurveVisible(0));
    EXPECT_DOUBLE_EQ(window->CursorMs(), cursor); // the click was not taken as a cursor move
    QTest::mouseClick(lane->viewport(), Qt::LeftButton, Qt::NoModifier,
                      LegendEntry(lane, "Engine"));
    EXPECT_TRUE(window->CurveVisible(3));
    EXPECT_TRUE(lane->Curves()[3].series->isVisible());
    window->ResetZoom();
    EXPECT_DOUBLE_EQ(window->VisibleToMs() - window->VisibleFromMs(), 11999 * 50);
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

TEST(LogWindowRideTest, EventsMarkTheLanesAndASecondRideIsOverlaidAlignedAtAFault)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    LanguageTexts texts;
    LoadDefaultEnglish(texts);
    const RideLog first =
        WriteSimulatedRideLog(dir.path() + "/a_", kSimFamilyMiug4, 3000, {1, 5, 0, 0, 0, 0, 0, 0});
    const RideLog second =
        WriteSimulatedRideLog(dir.path() + "/b_", kSimFamilyMiug4, 2000, {5, 1, 0, 0, 0, 0, 0, 0});
    {
        EventLog events;
        ASSERT_TRUE(events.Open(first.fileName));
        events.Append(0, EventKind::Simulated);
        events.Append(0, EventKind::RideStart);
        events.Append(61250, EventKind::FaultAppeared, "P0117", "Engine temperature sensor");
        events.Append(90000, EventKind::Mark, {}, "rough idle");
        EventLog other;
        ASSERT_TRUE(other.Open(second.fileName));
        other.Append(30000, EventKind::FaultAppeared, "P0117", "Engine temperature sensor");
    }
    QFile broken(EventFileName(first.fileName));
    ASSERT_TRUE(broken.open(QIODevice::Append));
    broken.write("\"95000\",\"engine-exploded\",\"\",\"\"\r\n");
    broken.close();

    QString error;
    LogWindow* opened = OpenLogWindow(nullptr, first.fileName, texts, &error);
    ASSERT_NE(opened, nullptr) << error.toStdString();
    std::unique_ptr<LogWindow> window(opened);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    QApplication::processEvents();
    // Never wider than the screen.
    EXPECT_LE(window->frameGeometry().width(),
              QGuiApplication::primaryScreen()->availableGeometry().width());
    window->resize(1000, 600);
    QApplication::processEvents();

    // The simulator's ride says so; its events are listed (the unreadable line noted after them)
    // and marked across every lane, the fault in red.
    EXPECT_TRUE(window->Simulated());
    EXPECT_TRUE(window->windowTitle().contains("simulated"));
    ASSERT_EQ(window->Events().size(), 4u);
    QListWidget* list = window->EventList();
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->item(2)->text(), "61.25  Fault appeared P0117: Engine temperature sensor");
    EXPECT_EQ(list->item(2)->foreground().color(), QColor(200, 0, 0));
    EXPECT_TRUE(list->item(4)->text().startsWith("1 lines"));
    ASSERT_EQ(window->LaneCount(), 2);
    for (int lane = 0; lane < 2; ++lane)
        EXPECT_EQ(window->Lane(lane)->ShownMarkerCount(), 3) << lane;

    // A click on the fault in the list puts the cursor there, bringing it into view.
    window->SetVisibleRange(120000, 140000);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(2)).center());
    EXPECT_DOUBLE_EQ(window->CursorMs(), 61250);
    EXPECT_LE(window->VisibleFromMs(), 61250);
    EXPECT_GE(window->VisibleToMs(), 61250);

    // The second ride (its columns in another order) over the values both have, named by ride.
    // It is read while the window's thread goes on: what that thread queued runs meanwhile.
    bool reading = false;
    bool ranWhileReading = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ranWhileReading = reading; }, Qt::QueuedConnection);
    window->askCompareFileName = [&] { return second.fileName; };
    reading = true;
    ASSERT_TRUE(window->ChooseCompareLog());
    reading = false;
    EXPECT_TRUE(ranWhileReading);
    ASSERT_TRUE(window->HasCompareLog());
    QApplication::processEvents(); // the new lanes are laid out and drawn
    const std::vector<LaneCurve>& curves = window->Lane(0)->Curves();
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_TRUE(curves[1].compare);
    const QString firstName = QFileInfo(first.fileName).completeBaseName();
    const QString secondName = QFileInfo(second.fileName).completeBaseName();
    EXPECT_TRUE(curves[0].series->name().endsWith("(" + firstName + ")"));
    EXPECT_TRUE(curves[1].series->name().endsWith("(" + secondName + ")"));
    EXPECT_DOUBLE_EQ(window->CompareOffsetMs(), 0);
    window->ResetZoom();
    ASSERT_GT(curves[1].series->count(), 0);
    EXPECT_DOUBLE_EQ(curves[1].series->points().front().x(), 0);

    // Aligned at the fault: the second ride's fault at 30 s is drawn at this one's 61.25 s.
    EXPECT_TRUE(window->AlignCompareAtEvent(2));
    EXPECT_DOUBLE_EQ(window->CompareOffsetMs(), 31250);
    window->ResetZoom();
    ASSERT_GT(window->Lane(0)->Curves()[1].series->count(), 0);
    EXPECT_NEAR(window->Lane(0)->Curves()[1].series->points().front().x(), 31.25, 1e-9);
    // A mark the second ride does not have leaves it aligned at the start.
    EXPECT_FALSE(window->AlignCompareAtEvent(3));
    EXPECT_DOUBLE_EQ(window->CompareOffsetMs(), 0);
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

    // A spreadsheet's "Unicode text" is named as UTF-16, not as binary data.
    const QString utf16 = dir.path() + "/unicode.csv";
    QFile wide(utf16);
    ASSERT_TRUE(wide.open(QIODevice::WriteOnly));
    wide.write(QByteArray("\xFF\xFET\0,\0A\0\r\0\n\0", 12));
    wide.close();
    EXPECT_EQ(OpenLogWindow(nullptr, utf16, german, &error), nullptr);
    EXPECT_TRUE(error.endsWith("It is UTF-16 text; save it as UTF-8 and open it again."))
        << error.toStdString();
}
