// Wall-clock and process CPU time in milliseconds, for the benchmarks' own figures.
#pragma once

#include <chrono>
#include <ctime>

namespace velmoro::bench {

inline double WallMs()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

} // namespace velmoro::bench
