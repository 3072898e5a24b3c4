// The user's path: live values and the read-all survey through the diagnostic session (its one
// refresh loop and job runner) against the in-process simulator at the program's own timings.
#include "BenchSupport.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "link/LinkTimings.h"
#include "session/DiagSession.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace velmoro {
namespace {

using bench::CpuMs;
using bench::RunEvents;
using bench::WallMs;

class Bench {
public:
    Bench(int family, int latencyMs)
        : sim_(std::make_shared<Simulator>(SimulatorOptions{family, latencyMs}))
    {
        state_.paths.directory = dir_.path() + QStringLiteral("/");
        state_.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state_.settings.loggingDirectory = state_.paths.directory;
        state_.link.ecuId =
            family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
        state_.link.port = QStringLiteral("Simulator");
        std::array<int, 8> indices{};
        for (int r = 0; r < kDisplayRows; ++r)
            indices[static_cast<std::size_t>(r)] = r + 1;
        DiagSessionOptions options;
        options.simulator = sim_;
        session_ = std::make_unique<DiagSession>(state_, options);
        QObject::connect(session_.get(), &DiagSession::question, session_.get(),
                         [this] { session_->answerQuestion(); });
        QObject::connect(session_.get(), &DiagSession::rowsRead, session_.get(), [this] {
            ++passes_;
            lastPassMs_ = WallMs();
        });
        QObject::connect(session_.get(), &DiagSession::surveyFinished, session_.get(),
                         [this] { surveyDone_ = true; });
        session_->connectLink({}, indices);
        RunEvents([this] { return passes_ > 0; }, 30000);
    }
    ~Bench()
    {
        session_->quit();
        session_->waitStopped();
    }

    void LiveValues(const char* name, int latencyMs, double seconds)
    {
        const int requestsPerPass = kDisplayRows + (session_->family()->hasEngineStatus() ? 1 : 0);
        // Timed from the end of one pass to the end of the last one in the time given.
        const int first = passes_ + 1;
        RunEvents([&] { return passes_ >= first; }, 30000);
        const double wall0 = lastPassMs_;
        const double cpu0 = CpuMs();
        RunEvents([] { return false; }, static_cast<int>(seconds * 1000));
        const double wallMs = lastPassMs_ - wall0;
        const double cpuMs = CpuMs() - cpu0;
        const int passes = passes_ - first;
        const double msPerPass = wallMs / passes;
        const double floorMs = requestsPerPass * (latencyMs + kPauseAfterRequestMs);
        std::printf("session values %s latency %2d ms: %d passes, %.2f values/s, %.1f ms/pass, "
                    "floor %.1f ms, %+.1f %%, %.1f ms/request, CPU %.2f %% of one core\n",
                    name, latencyMs, passes, passes * kDisplayRows / (wallMs / 1000.0), msPerPass,
                    floorMs, (msPerPass / floorMs - 1.0) * 100.0, msPerPass / requestsPerPass,
                    cpuMs / (WallMs() - wall0) * 100.0);
    }

    void Survey(int latencyMs)
    {
        const double wall0 = WallMs();
        session_->startSurvey();
        RunEvents([this] { return surveyDone_; }, 120000);
        const double wallMs = WallMs() - wall0;
        // 256 identifiers, and the pass that runs before the survey's first step.
        const int requestsPerPass = kDisplayRows + (session_->family()->hasEngineStatus() ? 1 : 0);
        const double floorMs = (256 + requestsPerPass) * (latencyMs + kPauseAfterRequestMs);
        std::printf("session survey latency %d ms: %s in %.0f ms, floor (256 + %d) x (%d + %d) "
                    "= %.0f ms, %+.1f %%\n",
                    latencyMs, surveyDone_ ? "finished" : "NOT finished", wallMs, requestsPerPass,
                    latencyMs, kPauseAfterRequestMs, floorMs, (wallMs / floorMs - 1.0) * 100.0);
    }

private:
    QTemporaryDir dir_;
    CoreState state_;
    std::shared_ptr<Simulator> sim_;
    std::unique_ptr<DiagSession> session_;
    int passes_ = 0;
    double lastPassMs_ = 0;
    bool surveyDone_ = false;
};

} // namespace
} // namespace velmoro

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
    for (int latency : {5, 20}) {
        velmoro::Bench bench(velmoro::kSimFamilyMiug4, latency);
        bench.LiveValues("MIUG4", latency, seconds);
    }
    {
        velmoro::Bench bench(velmoro::kSimFamily11mp, 20);
        bench.LiveValues("11MP", 20, seconds);
    }
    velmoro::Bench survey(velmoro::kSimFamilyMiug4, 5);
    survey.Survey(5);
    return 0;
}
