// Thinning a curve of a value log down to what a plot of a given width can show.
#pragma once

#include <QPointF>
#include <vector>

namespace velmoro {

// The time range to draw, the pixel columns it spans and how values become plot heights.
struct CurveWindow {
    double fromMs = 0;
    double toMs = 0;
    int columns = 1;
    double yOffset = 0; // y = (value - yOffset) * yScale
    double yScale = 1;
};

// The points of one curve to draw: in each pixel column the first, the smallest, the largest and
// the last sample, in time order (at most four per column, fewer where they coincide), plus the
// sample on each side just outside the range so the line runs to the edges. The lines between
// them cover exactly the heights the full curve covers in each column, so a peak of a single
// sample is never lost. Samples that are NaN (not read) are skipped; x is in seconds.
//
//   times {0, 10, 20, 30}, values {1, 9, 2, 3}, window 0..30 ms over 1 column
//   -> (0, 1), (0.01, 9), (0.03, 3)   the minimum 1 is the first sample, the maximum 9 kept
void DecimateCurve(const std::vector<double>& timesMs, const std::vector<double>& values,
                   const CurveWindow& window, std::vector<QPointF>& out);

} // namespace velmoro
