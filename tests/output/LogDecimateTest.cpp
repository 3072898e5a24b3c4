// Thinning of log curves per pixel column: bounded point counts, and no peak is ever lost.
#include "output/LogDecimate.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace velmoro;

TEST(LogDecimateTest, DocumentedExample)
{
    std::vector<QPointF> out;
    DecimateCurve({0, 10, 20, 30}, {1, 9, 2, 3}, CurveWindow{0, 30, 1}, out);
    EXPECT_EQ(out, (std::vector<QPointF>{{0, 1}, {0.01, 9}, {0.03, 3}}));
}

TEST(LogDecimateTest, SingleSamplePeaksSurviveEveryZoomAndPointsStayFew)
{
    // An hour at 20 lines a second of a smooth curve with gaps, one single-sample peak and one
    // single-sample dip.
    const int n = 72000;
    std::vector<double> times(n);
    std::vector<double> values(n);
    for (int i = 0; i < n; ++i) {
        times[std::size_t(i)] = i * 50.0;
        values[std::size_t(i)] = i % 997 == 5 ? std::nan("") : 3000 + 1000 * std::sin(i / 300.0);
    }
    const int peak = 41234;
    const int dip = 41240;
    values[peak] = 9000;
    values[dip] = -500;

    QRandomGenerator random(7);
    std::vector<QPointF> out;
    for (int round = 0; round < 400; ++round) {
        const int columns = round == 0 ? 1 : int(random.bounded(1, 2500));
        // A range that holds both, from a few samples to the whole hour.
        const double before = random.bounded(1.0) * (round % 2 ? 300 : peak) * 50.0;
        const double after = random.bounded(1.0) * (round % 2 ? 300 : n - dip) * 50.0;
        const CurveWindow window{times[peak] - before, times[dip] + after, columns, 100, 0.5};
        DecimateCurve(times, values, window, out);
        SCOPED_TRACE(round);
        ASSERT_LE(out.size(), std::size_t(4 * columns + 2));
        EXPECT_TRUE(std::is_sorted(out.begin(), out.end(), [](const QPointF& a, const QPointF& b) {
            return a.x() < b.x();
        }));
        EXPECT_NE(
            std::find(out.begin(), out.end(), QPointF(times[peak] / 1000, (9000 - 100) * 0.5)),
            out.end());
        EXPECT_NE(std::find(out.begin(), out.end(), QPointF(times[dip] / 1000, (-500 - 100) * 0.5)),
                  out.end());
        for (const QPointF& p : out)
            ASSERT_FALSE(std::isnan(p.y()));
    }

    // A range between samples still draws the line crossing it.
    DecimateCurve(times, values, CurveWindow{1010, 1040, 100}, out);
    EXPECT_EQ(out, (std::vector<QPointF>{{1.0, values[20]}, {1.05, values[21]}}));
}
