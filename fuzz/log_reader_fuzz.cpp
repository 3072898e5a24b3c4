// Fuzz target: the CSV value log reader, from any bytes to a log or one error, and the thinning
// of every column it reads.
#include "output/LogDecimate.h"
#include "output/LogReader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const velmoro::LogReadResult read = velmoro::ParseLog(bytes);
    if (!read.Ok()) {
        Check(read.log.RowCount() == 0 && read.line >= 0);
        return 0;
    }
    const velmoro::LogData& log = read.log;
    const int rows = log.RowCount();
    Check(rows > 0);
    Check(std::is_sorted(log.timesMs.begin(), log.timesMs.end()));
    Check(int(log.lineStart.size()) == rows && int(log.lineLength.size()) == rows);
    for (int row : {0, rows / 2, rows - 1}) {
        Check(log.lineStart[std::size_t(row)] + log.lineLength[std::size_t(row)] <= bytes.size());
        Check(std::size_t(velmoro::LogRowFields(log, row).size()) > log.columns.size());
    }
    Check(velmoro::LogRowAt(log, log.timesMs.back()) < rows);

    std::vector<QPointF> points;
    const int columns = 1 + int(size % 97);
    for (const velmoro::LogColumn& column : log.columns) {
        Check(int(column.values.size()) == rows);
        Check(column.numericCount + column.textCount <= rows);
        velmoro::CurveWindow window{log.timesMs.front(), log.timesMs.back(), columns};
        velmoro::DecimateCurve(log.timesMs, column.values, window, points);
        Check(points.size() <= std::size_t(4 * columns + 2));
        for (const QPointF& p : points) {
            Check(!std::isnan(p.y()));
        }
    }
    return 0;
}
