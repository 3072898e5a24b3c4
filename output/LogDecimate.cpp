// Min/max thinning per pixel column of one log curve.
#include "output/LogDecimate.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmoro {

void DecimateCurve(const std::vector<double>& timesMs, const std::vector<double>& values,
                   const CurveWindow& window, std::vector<QPointF>& out)
{
    out.clear();
    const size_t n = std::min(timesMs.size(), values.size());
    if (n == 0 || !(window.toMs >= window.fromMs))
        return;
    const int columns = std::max(1, window.columns);
    const double span = std::max(window.toMs - window.fromMs, 1e-9);
    const auto point = [&](size_t i) {
        return QPointF(timesMs[i] / 1000.0, (values[i] - window.yOffset) * window.yScale);
    };

    const size_t first = size_t(
        std::lower_bound(timesMs.begin(), timesMs.begin() + std::ptrdiff_t(n), window.fromMs) -
        timesMs.begin());
    const size_t last =
        size_t(std::upper_bound(timesMs.begin(), timesMs.begin() + std::ptrdiff_t(n), window.toMs) -
               timesMs.begin());

    if (first > 0 && !std::isnan(values[first - 1]))
        out.push_back(point(first - 1));

    int column = -1;
    std::array<size_t, 4> picked{}; // first, min, max, last of the current column
    bool any = false;
    const auto flush = [&] {
        if (!any)
            return;
        std::array<size_t, 4> order = picked;
        std::sort(order.begin(), order.end());
        for (size_t k = 0; k < order.size(); ++k)
            if (k == 0 || order[k] != order[k - 1])
                out.push_back(point(order[k]));
        any = false;
    };
    for (size_t i = first; i < last; ++i) {
        const double v = values[i];
        if (std::isnan(v))
            continue;
        const int c =
            std::clamp(int((timesMs[i] - window.fromMs) / span * columns), 0, columns - 1);
        if (c != column) {
            flush();
            column = c;
            picked = {i, i, i, i};
            any = true;
            continue;
        }
        if (v < values[picked[1]])
            picked[1] = i;
        if (v > values[picked[2]])
            picked[2] = i;
        picked[3] = i;
    }
    flush();

    if (last < n && !std::isnan(values[last]))
        out.push_back(point(last));
}

} // namespace velmoro
