// Pace of the link against the in-process simulator at the program's own timings: live values,
// CPU while refreshing, the read-all survey, and memory over an hour of simulated refreshing.
#include "BenchSupport.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "ecu/RefreshCycle.h"
#include "link/AdapterPort.h"
#include "link/CommWorker.h"
#include "link/UiBridge.h"
#include "output/CsvLog.h"
#include "output/Survey.h"
#include "sim/Simulator.h"
#include "sim/SimulatorPort.h"
#include "support/FamilyRig.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

namespace velmoro {
namespace {

using bench::CpuMs;
using bench::ResidentKiB;
using bench::WallMs;

// A connected link: the worker on its thread against a private simulator, identification done.
class Link {
public:
    Link(int family, int latencyMs, const CommWorkerTimings& timings)
        : sim_(std::make_shared<Simulator>(SimulatorOptions{family, latencyMs}))
    {
        state.link.ecuId =
            family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        state.link.port = QStringLiteral("Simulator");
        state.Choose();
        for (int r = 0; r < kDisplayRows; ++r) {
            state.rows[static_cast<std::size_t>(r)].valueIndex = r + 1;
        }
        state.flags.workerState = kWorkerStarting;
        auto sim = sim_;
        worker_ = std::thread([this, sim, timings] {
            CommWorker worker(state.channel, state.texts, ui_, state.link.port, nullptr,
                              [sim](const QString&) { return OpenSimulatorPort(sim); });
            worker.SetTimings(timings);
            worker.Run();
        });
        while (state.flags.workerState.load() == kWorkerStarting) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~Link()
    {
        state.channel.Stop();
        worker_.join();
    }
    bool Up() const { return state.flags.workerState.load() == kWorkerRunning; }
    Simulator& Sim() { return *sim_; }

    test::FamilyRig state;

private:
    class NoUi : public UiBridge {
    public:
        void ShowMessageAndWait(const QString&) override {}
        void Connected() override {}
        void Disconnect() override {}
        void LinkLost() override {}
    };
    std::shared_ptr<Simulator> sim_;
    NoUi ui_;
    std::thread worker_;
};

// Passes for about `seconds`, timed at pass boundaries.
void LiveValues(int family, int latencyMs, double seconds)
{
    Link link(family, latencyMs, CommWorkerTimings{});
    if (!link.Up()) {
        std::printf("live values: link did not come up\n");
        return;
    }
    RunRefreshPass(*link.state.ecu, link.state.flags,
                   link.state.rows); // the first pass after the session request settles the pace
    link.Sim().ClearReceived();
    const double wall0 = WallMs();
    const double cpu0 = CpuMs();
    int passes = 0;
    while (WallMs() - wall0 < seconds * 1000.0) {
        RunRefreshPass(*link.state.ecu, link.state.flags, link.state.rows);
        ++passes;
    }
    const double wallMs = WallMs() - wall0;
    const double cpuMs = CpuMs() - cpu0;
    const double requests = link.Sim().ReceivedCommands().size();
    const double requestsPerPass = requests / passes;
    const double floorPassMs = requestsPerPass * (latencyMs + kPauseAfterRequestMs);
    const double passMs = wallMs / passes;
    std::printf("live values %-5s latency %2d ms: %6.3f passes/s %6.2f values/s  "
                "(%.0f requests/pass, %.1f ms/pass, floor %.1f ms/pass, %+.2f %%)  "
                "CPU %.2f ms/pass = %.2f %% of one core\n",
                family == kSimFamily11mp ? "11MP" : "MIUG4", latencyMs, 1000.0 / passMs,
                8000.0 / passMs, requestsPerPass, passMs, floorPassMs,
                100.0 * (passMs - floorPassMs) / floorPassMs, cpuMs / passes,
                100.0 * cpuMs / wallMs);
}

// The survey as the shell runs it: one thread per step, 22 10 00 .. 22 10 FF, into its file.
void Survey(int latencyMs)
{
    Link link(kSimFamilyMiug4, latencyMs, CommWorkerTimings{});
    QTemporaryDir dir;
    ProgramPaths paths;
    paths.directory = dir.path() + QLatin1Char('/');
    paths.baseName = QStringLiteral("Bench");
    SurveyState survey;
    const double wall0 = WallMs();
    survey.Start(paths, link.state.link, QDateTime::currentDateTime(), 0);
    int steps = 0;
    for (;;) {
        const int nn = survey.NextStep(static_cast<qint64>(WallMs() - wall0));
        if (nn < 0) {
            break;
        }
        std::thread step([&] { RunSurveyStep(link.state.channel, survey.file, nn); });
        step.join();
        ++steps;
    }
    const double wallMs = WallMs() - wall0;
    const double floorMs = kSurveyEnd * (latencyMs + kPauseAfterRequestMs);
    std::printf("survey latency %2d ms: %d steps in %.0f ms, floor 256 x (%d + %d) = %.0f ms "
                "(%+.2f %%)\n",
                latencyMs, steps, wallMs, latencyMs, kPauseAfterRequestMs, floorMs,
                100.0 * (wallMs - floorMs) / floorMs);
}

// An hour of refreshing at 20 ms latency is 3600 s / (9 requests x 70 ms) = 5714 passes; they run
// here without latency or pause, with the CSV log on. The simulator records every command it
// receives; with clearRecord that record is emptied every hundred passes, which leaves the
// program's own memory.
void HourOfRefreshing(bool clearRecord)
{
    const int passesPerHour = 3600 * 1000 / (9 * (20 + kPauseAfterRequestMs));
    Link link(kSimFamilyMiug4, 0, CommWorkerTimings{kAdapterTimeoutMs, 0, kKeepAliveIdleMs});
    QTemporaryDir dir;
    CsvLog csv;
    std::array<QString, 8> header;
    for (int i = 0; i < 8; ++i) {
        header[static_cast<std::size_t>(i)] = QStringLiteral("Value %1").arg(i + 1);
    }
    csv.OpenCsvLog(dir.path() + QLatin1Char('/'), QStringLiteral("Hour"),
                   QDateTime::currentDateTime(), QStringLiteral("Time"), header);
    const auto pass = [&](int n) {
        RunRefreshPass(*link.state.ecu, link.state.flags, link.state.rows);
        std::array<QString, 8> values;
        for (int r = 0; r < kDisplayRows; ++r) {
            values[static_cast<std::size_t>(r)] =
                link.state.rows[static_cast<std::size_t>(r)].valueText;
        }
        csv.AddCsvLine(true, n * 630, values);
        if (clearRecord && n % 100 == 99) {
            link.Sim().ClearReceived();
        }
    };
    for (int n = 0; n < 100; ++n) {
        pass(n);
    }
    const long long before = ResidentKiB();
    const double wall0 = WallMs();
    for (int n = 0; n < passesPerHour; ++n) {
        pass(n);
    }
    const long long after = ResidentKiB();
    const double wallMs = WallMs() - wall0;
    const long long recorded = link.Sim().ReceivedCommands().size();
    csv.FlushCsvLog();
    std::printf("hour of refreshing (%s): %d passes in %.1f s, CSV file %lld KiB, resident "
                "%lld KiB after warm-up, %lld KiB after the hour (%+lld KiB); simulator holds "
                "%lld recorded commands\n",
                clearRecord ? "simulator record emptied" : "simulator record kept", passesPerHour,
                wallMs / 1000.0, QFileInfo(csv.FileName()).size() / 1024, before, after,
                after - before, recorded);
}

} // namespace
} // namespace velmoro

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
    for (int latency : {5, 20, 50}) {
        velmoro::LiveValues(velmoro::kSimFamilyMiug4, latency, seconds);
    }
    velmoro::LiveValues(velmoro::kSimFamily11mp, 20, seconds);
    velmoro::Survey(5);
    velmoro::HourOfRefreshing(true);
    velmoro::HourOfRefreshing(false);
    return 0;
}
