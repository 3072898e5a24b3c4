// Time per Exchange and the process's CPU time against the simulator answering after 20 ms.
//
// Each Exchange costs the adapter's answer time plus the worker's pause after the previous
// request, so with a 20 ms answer the expected period is 20 ms + kPauseAfterRequestMs. The
// worker waits on the port and the channel instead of polling, so the CPU time is a small
// fraction of the wall time.
#include "config/LanguageTexts.h"
#include "link/CommWorker.h"
#include "link/LinkTimings.h"
#include "link/RequestChannel.h"
#include "link/UiBridge.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

using namespace velmoro;

constexpr int kAnswerLatencyMs = 20;

class SilentUi : public UiBridge {
public:
    void ShowMessageAndWait(const QString&) override {}
    void Connected() override {}
    void Disconnect() override {}
    void LinkLost() override {}
};

double ProcessCpuMs()
{
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void BM_ExchangeAgainstSimulator(benchmark::State& state)
{
    auto sim = std::make_shared<Simulator>();
    LinkFlags flags;
    RequestChannel channel(flags);
    LanguageTexts texts;
    SilentUi ui;
    CommWorker worker(channel, texts, ui, QStringLiteral("Simulator"), nullptr,
                      [sim](const QString&) { return OpenSimulatorPort(sim); });
    flags.workerState.store(kWorkerStarting);
    std::thread thread([&worker] { worker.Run(); });
    if (!flags.WaitForWorkerState([](int s) { return s != kWorkerStarting; }, 60000) ||
        flags.workerState.load() != kWorkerRunning) {
        state.SkipWithError("the worker did not come up");
        channel.Stop();
        thread.join();
        return;
    }
    sim->SetLatencyMs(kAnswerLatencyMs);
    channel.Exchange({0x22, 0x10, 0x30}); // aligns the first timed request with the pause

    int failures = 0;
    const double cpuStart = ProcessCpuMs();
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (channel.Exchange({0x22, 0x10, 0x30}).result != 2) {
            ++failures;
        }
    }
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    const double cpuMs = ProcessCpuMs() - cpuStart;
    channel.Stop();
    thread.join();

    const double n = static_cast<double>(state.iterations());
    const double perExchangeMs = wallMs / n;
    const double expectedMs = kAnswerLatencyMs + kPauseAfterRequestMs;
    state.counters["ms_per_exchange"] = perExchangeMs;
    state.counters["expected_ms"] = expectedMs;
    state.counters["process_cpu_ms_per_exchange"] = cpuMs / n;
    state.counters["cpu_share_of_wall"] = cpuMs / wallMs;
    state.counters["failures"] = failures;
    std::printf("Exchange: %.2f ms each (expected %.0f ms, off by %+.2f ms, target within 2 ms: "
                "%s), process CPU %.3f ms each = %.1f %% of wall time, %d failed\n",
                perExchangeMs, expectedMs, perExchangeMs - expectedMs,
                std::abs(perExchangeMs - expectedMs) <= 2.0 ? "met" : "missed", cpuMs / n,
                100.0 * cpuMs / wallMs, failures);
}
BENCHMARK(BM_ExchangeAgainstSimulator)
    ->Iterations(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
