// Long use of the core: many connections in a row, and a long refresh run whose memory stays flat.
#include "Session.h"

#include <QDir>
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtimes' count of live heap bytes (their allocators keep freed memory in a
// quarantine, so the resident size says little there).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#define VELMORO_HEAP_BYTES() static_cast<long long>(__sanitizer_get_current_allocated_bytes())
#endif

namespace velmoro::robust {
namespace {

// Resident memory from /proc/self/statm (second field, in pages).
long long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST(SoakTest, TwoHundredConnectRefreshDisconnectCyclesOfBothFamilies)
{
    SessionOptions options;
    options.latencyMs = 0;
    options.timings.pauseAfterRequestMs = 1;
    Session s(options);
    QStringList logFiles;
    for (int cycle = 0; cycle < 200; ++cycle) {
        SCOPED_TRACE(cycle);
        s.SetFamily(cycle % 2 == 0 ? kSimFamilyMiug4 : kSimFamily11mp);
        s.Connect();
        ASSERT_TRUE(s.Settle());
        EXPECT_TRUE(s.ui.EcuInfo().startsWith(QStringLiteral("IAW ") + s.state.link.ecuId));
        s.StartRefresh();
        ASSERT_TRUE(s.WaitForPasses(1));
        s.Disconnect();
        ExpectCleanlyDisconnected(s);
        logFiles.append(s.csv.FileName());
        if (HasFatalFailure()) {
            return;
        }
    }
    logFiles.removeDuplicates();
    EXPECT_EQ(logFiles.size(), 200);
}

TEST(SoakTest, LongRefreshRunWithCsvLoggingKeepsMemoryFlat)
{
    SessionOptions options;
    options.latencyMs = 0;
    options.timings.pauseAfterRequestMs = 0;
    Session s(options);
    s.Connect();
    ASSERT_TRUE(s.Settle());
    s.StartRefresh();
    // The simulator records every command it receives; that record is the test's, not the
    // program's, so it is emptied every hundred passes (also during the warm-up, so its storage
    // is the same size at both measuring points).
    const auto runPasses = [&s](int until) {
        for (int n = s.Passes() + 100; n <= until; n += 100) {
            if (!s.WaitForPasses(n)) {
                return false;
            }
            s.sim->ClearReceived();
        }
        return true;
    };
    ASSERT_TRUE(runPasses(300)); // warm-up: caches, pools, the file's buffers
    const int passesBefore = s.Passes();
    const long long rssBefore = ResidentBytes();
#ifdef VELMORO_HEAP_BYTES
    const long long heapBefore = VELMORO_HEAP_BYTES();
#endif
    ASSERT_TRUE(runPasses(2300));
    const long long rssAfter = ResidentBytes();
    const int passesMeasured = s.Passes() - passesBefore;
#ifdef VELMORO_HEAP_BYTES
    const long long heapAfter = VELMORO_HEAP_BYTES();
    EXPECT_LT(heapAfter - heapBefore, 512 * 1024) << heapBefore << " -> " << heapAfter;
    std::printf("[ memory ] live heap %lld -> %lld KiB\n", heapBefore / 1024, heapAfter / 1024);
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(rssAfter - rssBefore, 4 * 1024 * 1024) << rssBefore << " -> " << rssAfter;
#endif
    std::printf("[ memory ] %d passes: resident %lld -> %lld KiB\n", passesMeasured,
                rssBefore / 1024, rssAfter / 1024);
    s.Disconnect();
    bool crlf = false;
    EXPECT_EQ(CsvLines(s.csv.FileName(), &crlf).size(), 1 + s.Passes());
    EXPECT_TRUE(crlf);
}

} // namespace
} // namespace velmoro::robust
