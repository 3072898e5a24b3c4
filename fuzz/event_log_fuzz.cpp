// Fuzz target: the event file reader, from any bytes to events and problems; every event it
// reads is written and read back as the same event.
#include "output/EventLog.h"

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
    const velmoro::EventLogRead read = velmoro::ReadEventLog(bytes);
    Check(std::is_sorted(read.events.begin(), read.events.end(),
                         [](const velmoro::LogEvent& a, const velmoro::LogEvent& b) {
                             return a.timeMs < b.timeMs;
                         }));
    Check(read.events.size() <= size);
    for (const velmoro::LogEvent& event : read.events) {
        Check(std::isfinite(event.timeMs) && event.timeMs >= 0);
        Check(!velmoro::EventWord(event.kind).isEmpty());
    }
    for (const velmoro::EventProblem& problem : read.problems)
        Check(problem.line >= 0 && !problem.reason.isEmpty());
    if (!read.events.empty()) {
        // A whole-number time written back reads as the same event.
        velmoro::LogEvent event = read.events.front();
        event.timeMs = std::floor(std::min(event.timeMs, 1e12));
        const velmoro::EventLogRead again =
            velmoro::ReadEventLog(velmoro::EventHeaderLine() + velmoro::EventLine(event));
        Check(again.problems.empty() && again.events.size() == 1);
        Check(again.events[0].kind == event.kind && again.events[0].timeMs == event.timeMs);
    }
    return 0;
}
