// What the benchmarks share: wall-clock and process CPU time in milliseconds, the resident memory,
// and an event loop run until something holds.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <unistd.h>

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

inline long long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

// Runs the event loop as the program's main thread does, idle between events, until done()
// holds (looked at every 10 ms) or timeoutMs passed.
inline bool RunEvents(const std::function<bool()>& done, double timeoutMs)
{
    const double start = WallMs();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || WallMs() - start > timeoutMs)
            loop.quit();
    });
    look.start(10);
    if (!done())
        loop.exec();
    return done();
}

} // namespace velmoro::bench
