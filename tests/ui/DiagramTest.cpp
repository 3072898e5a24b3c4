// The diagram: one step's pixels, scrolling, legends, Clear keeping the last levels, BMP saving.
#include "ui/DiagramWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmoro;

namespace {

std::array<MeasurementRow, 9> Levels(std::initializer_list<int> levels)
{
    std::array<MeasurementRow, 9> rows;
    for (auto& row : rows)
        row.graphLevel = kNoGraphLevel;
    int i = 0;
    for (int level : levels)
        rows[static_cast<std::size_t>(i++)].graphLevel = level;
    return rows;
}

const QStringList kChoosers{"Engine speed", "Throttle", "Lambda", "Battery",
                            "Air temp",     "Coolant",  "Ign.",   "Inj."};

QColor At(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

TEST(DiagramStepTest, DrawsEachCurveAtItsLevelInItsColourAndScrolls)
{
    QImage plot = NewPlotImage();
    plot.fill(QColor(200, 200, 200)); // grey marks what was there before the step
    std::array<int, kDiagramCurves> last{};
    std::array<QString, kDiagramCurves> legends;
    DiagramStepOnImage(plot, last, Levels({kNoGraphLevel, 40, -20, 150}), kChoosers, legends);

    EXPECT_EQ(At(plot, 549, 160), DiagramCurveColour(1));
    EXPECT_EQ(At(plot, 549, 220), DiagramCurveColour(2));
    EXPECT_EQ(At(plot, 549, 50), DiagramCurveColour(3));
    // The zero line piece and the tick are black, the rest of the new strip white.
    EXPECT_EQ(At(plot, 546, 200), QColor(Qt::black));
    EXPECT_EQ(At(plot, 549, 197), QColor(Qt::black));
    EXPECT_EQ(At(plot, 549, 203), QColor(Qt::black));
    EXPECT_EQ(At(plot, 547, 10), QColor(Qt::white));
    // Left of the strip the old picture moved over, untouched.
    EXPECT_EQ(At(plot, 0, 10), QColor(200, 200, 200));
    EXPECT_EQ(At(plot, 543, 10), QColor(200, 200, 200));

    EXPECT_EQ(legends[0], "----");
    EXPECT_EQ(legends[1], "Throttle");
    EXPECT_EQ(last[0], 0); // no value: the last level stays
    EXPECT_EQ(last[1], 40);
    EXPECT_EQ(last[2], -20);

    // The next step moves the previous end point 5 pixels left and starts from it.
    DiagramStepOnImage(plot, last, Levels({kNoGraphLevel, 80}), kChoosers, legends);
    EXPECT_EQ(At(plot, 544, 160), DiagramCurveColour(1));
    EXPECT_EQ(At(plot, 549, 120), DiagramCurveColour(1));
    EXPECT_EQ(At(plot, 544, 50), DiagramCurveColour(3));
    EXPECT_EQ(At(plot, 549, 50), QColor(Qt::white)); // row 3 has no value any more
    EXPECT_EQ(legends[3], "----");
}

TEST(DiagramBmpNameTest, AppendsUnlessTheNameEndsInExactlyLowerCaseBmp)
{
    EXPECT_EQ(DiagramBmpFileName("/tmp/plot"), "/tmp/plot.bmp");
    EXPECT_EQ(DiagramBmpFileName("/tmp/plot.bmp"), "/tmp/plot.bmp");
    EXPECT_EQ(DiagramBmpFileName("/tmp/plot.BMP"), "/tmp/plot.BMP.bmp");
    EXPECT_EQ(DiagramBmpFileName("/tmp/plot.bmpx"), "/tmp/plot.bmpx.bmp");
    EXPECT_EQ(DiagramBmpFileName(""), "");
}

TEST(DiagramWindowTest, LegendsClearCopySaveAndClose)
{
    QTemporaryDir dir;
    QWidget owner;
    DiagramWindow window(&owner, dir.path() + "/");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.size(), QSize(760, 500));

    window.DiagramStep(Levels({10, 40}), kChoosers);
    EXPECT_EQ(window.LegendText(0), "Engine speed");
    EXPECT_EQ(window.LegendText(2), "----");

    // Clear whitens the picture but keeps the last levels: the next line starts at 40.
    window.Clear();
    for (int x : {0, 300, 549})
        EXPECT_EQ(At(window.PlotImage(), x, 160), QColor(Qt::white));
    EXPECT_EQ(window.LastLevels()[1], 40);
    window.DiagramStep(Levels({kNoGraphLevel, 40}), kChoosers);
    EXPECT_EQ(At(window.PlotImage(), 544, 160), DiagramCurveColour(1));
    EXPECT_EQ(At(window.PlotImage(), 544, 200), QColor(Qt::white));

    window.Copy();
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              window.PlotImage());

    QString askedTitle, askedDir;
    QString answer = dir.path() + "/plot.BMP";
    window.askSaveFileName = [&](QWidget*, const QString& title, const QString& start,
                                 const QString&) {
        askedTitle = title;
        askedDir = start;
        return answer;
    };
    window.SaveButton()->click();
    EXPECT_EQ(askedTitle, "Diagram abspeichern");
    EXPECT_EQ(askedDir, dir.path() + "/");
    QImage loaded(dir.path() + "/plot.BMP.bmp", "BMP");
    EXPECT_EQ(loaded.size(), QSize(kPlotWidth, kPlotHeight));
    EXPECT_EQ(loaded.pixelColor(544, 160), DiagramCurveColour(1));

    answer.clear(); // cancelled
    EXPECT_FALSE(window.Save());

    // The title-bar close only asks the shell; the window stays until the shell hides it.
    window.show();
    int closing = 0;
    QObject::connect(&window, &DiagramWindow::closeRequested, [&closing] { ++closing; });
    window.close();
    EXPECT_EQ(closing, 1);
    EXPECT_TRUE(window.isVisible());
}
