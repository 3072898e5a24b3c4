// What users get, at the normal pace and with fast refresh: live values on the user's path (a
// session, its worker and a port onto the simulated adapter, in-process, on a pty or over TCP),
// for both families, the plain ELM327 and STN identities and 5/20/50 ms ECU latency, against the
// floor of the simulator's timing model (serial bytes both ways, the adapter's processing, the
// ECU's latency). Prints the Markdown table of docs/performance.md.
#include "BenchSupport.h"
#include "config/IniFile.h"
#include "config/Settings.h"
#include "ecu/CoreState.h"
#include "ecu/Ecu.h"
#include "link/LinkTimings.h"
#include "session/DiagSession.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace velmoro {
namespace {

using bench::CpuMs;
using bench::RunEvents;
using bench::WallMs;

enum class PortPath { InProcess, Pty, Tcp };

struct LiveRun {
    int family = kSimFamilyMiug4;
    bool fast = false;
    AdapterIdentity identity = AdapterIdentity::Elm327Clone;
    int latencyMs = 5;
    bool realistic = true; // the ELM327-like model; false: the ideal adapter of the old figures
    PortPath path = PortPath::InProcess;
};

struct LiveFigures {
    bool ok = false;
    int passes = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double requestsPerPass = 0;
    double inBytesPerRequest = 0;  // host to adapter
    double outBytesPerRequest = 0; // adapter to host
    double countedShare = 0;       // requests that carried the count digit ("221074 2")
};

const char* FamilyName(int family)
{
    return family == kSimFamily11mp ? "11MP" : "MIUG4";
}

const char* IdentityName(AdapterIdentity identity)
{
    return identity == AdapterIdentity::Stn ? "STN" : "ELM327";
}

const char* PathName(PortPath path)
{
    return path == PortPath::Pty ? "pty" : path == PortPath::Tcp ? "TCP" : "in-process";
}

// velmoro-sim as a child process; Address() is the port to open.
class SimProcess {
public:
    SimProcess(const LiveRun& run)
    {
        QStringList arguments = {run.path == PortPath::Pty ? QStringLiteral("--pty")
                                                           : QStringLiteral("--tcp")};
        if (run.path == PortPath::Tcp) {
            arguments << QStringLiteral("0");
        }
        if (!run.realistic) {
            arguments << QStringLiteral("--ideal");
        }
        arguments << QStringLiteral("--request-latency") << QString::number(run.latencyMs)
                  << QStringLiteral("--family")
                  << (run.family == kSimFamily11mp ? QStringLiteral("11mp")
                                                   : QStringLiteral("miug4"))
                  << QStringLiteral("--identity")
                  << (run.identity == AdapterIdentity::Stn ? QStringLiteral("stn")
                                                           : QStringLiteral("elm"));
        process_.start(QStringLiteral(VELMORO_SIM_EXECUTABLE), arguments);
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000)) {
            const QString line = QString::fromLatin1(process_.readLine()).trimmed();
            address_ = run.path == PortPath::Tcp ? QStringLiteral("127.0.0.1:") + line : line;
        }
    }
    ~SimProcess()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    QString Address() const { return address_; }

private:
    QProcess process_;
    QString address_;
};

// Connects a session as the program does (English texts, eight values, the CSV log on), lets
// the pace settle, then counts passes for about `seconds`.
LiveFigures MeasureLive(const LiveRun& run, double seconds)
{
    LiveFigures figures;
    QTemporaryDir dir;
    CoreState state;
    state.paths.directory = dir.path() + QLatin1Char('/');
    state.paths.baseName = QStringLiteral("Bench");
    state.settings.loggingDirectory = state.paths.directory;
    state.settings.csv = 1;
    state.settings.fastRefresh = run.fast ? 1 : 0;
    IniFile ini;
    ini.SetContent(DefaultSettingsFile());
    for (const auto& [key, text] : ini.Entries(QStringLiteral("English"))) {
        state.texts.Set(key, text);
    }
    state.link.model = QStringLiteral("Velmoro");
    state.link.ecuId =
        run.family == kSimFamily11mp ? QStringLiteral("11MP") : QStringLiteral("MIUG4");
    std::array<int, 8> indices{};
    for (int r = 0; r < kDisplayRows; ++r) {
        indices[static_cast<std::size_t>(r)] = r + 1;
    }

    std::shared_ptr<Simulator> sim;
    std::unique_ptr<SimProcess> process;
    if (run.path == PortPath::InProcess) {
        SimulatorOptions options = run.realistic
                                       ? RealisticSimulatorOptions(run.family, run.latencyMs)
                                       : SimulatorOptions{run.family, 0, run.latencyMs};
        options.identity = run.identity;
        sim = std::make_shared<Simulator>(options);
        state.link.port = QStringLiteral("Simulator");
    } else {
        process = std::make_unique<SimProcess>(run);
        state.link.port = process->Address();
        if (state.link.port.isEmpty()) {
            return figures;
        }
    }
    DiagSessionOptions options;
    options.simulator = sim;
    DiagSession session(state, options);
    // The end of each pass, taken on the session's thread as it happens; the window still gets
    // every snapshot queued, as the program's does.
    std::mutex endsMutex;
    struct PassEnd {
        double ms;
        qsizetype requests; // received by the simulated adapter so far
        qint64 inBytes;     // host to adapter
        qint64 outBytes;    // adapter to host
    };
    std::vector<PassEnd> ends;
    int shown = 0;
    QObject::connect(&session, &DiagSession::question, &session, [&] { session.answerQuestion(); });
    QObject::connect(
        &session, &DiagSession::rowsRead, &session,
        [&] {
            PassEnd end{WallMs(), 0, 0, 0};
            if (sim) {
                end.requests = sim->ReceivedCommands().size();
                end.inBytes = sim->ReceivedBytes().size();
                end.outBytes = sim->SentByteCount();
            }
            std::lock_guard<std::mutex> lock(endsMutex);
            ends.push_back(end);
        },
        Qt::DirectConnection);
    QObject::connect(&session, &DiagSession::rowsRead, &session, [&](const RowsSnapshot& rows) {
        shown += rows[0].valueText.isEmpty() ? 0 : 1;
    });
    const auto passes = [&] {
        std::lock_guard<std::mutex> lock(endsMutex);
        return static_cast<int>(ends.size());
    };
    std::array<QString, 8> header;
    for (int i = 0; i < 8; ++i) {
        header[static_cast<std::size_t>(i)] = QStringLiteral("Value %1").arg(i + 1);
    }
    if (!session.connectLink(header, indices) || !RunEvents([&] { return passes() >= 3; }, 20000)) {
        return figures;
    }

    if (sim) {
        sim->ClearReceived();
    }
    const int first = passes();
    const double wall0 = WallMs();
    const double cpu0 = CpuMs();
    RunEvents([&] { return WallMs() - wall0 >= seconds * 1000.0; }, seconds * 1000.0 + 1000.0);
    const double cpuMs = CpuMs() - cpu0;
    const double wallMs = WallMs() - wall0;
    PassEnd from{};
    PassEnd to{};
    {
        // Whole passes only: from the end of the first one in the window to the end of the last.
        std::lock_guard<std::mutex> lock(endsMutex);
        figures.passes = static_cast<int>(ends.size()) - first - 1;
        if (figures.passes <= 0) {
            return figures;
        }
        from = ends[static_cast<std::size_t>(first)];
        to = ends.back();
    }
    figures.wallMs = to.ms - from.ms;
    figures.cpuMs = cpuMs * figures.wallMs / wallMs;
    if (sim) {
        const QByteArrayList commands =
            sim->ReceivedCommands().mid(from.requests, to.requests - from.requests);
        const double requests = static_cast<double>(commands.size());
        figures.requestsPerPass = requests / figures.passes;
        figures.inBytesPerRequest = static_cast<double>(to.inBytes - from.inBytes) / requests;
        figures.outBytesPerRequest = static_cast<double>(to.outBytes - from.outBytes) / requests;
        figures.countedShare =
            static_cast<double>(std::count_if(
                commands.begin(), commands.end(),
                [](const QByteArray& c) { return c.size() > 2 && c[c.size() - 2] == ' '; })) /
            requests;
    }
    session.disconnectLink();
    RunEvents([&] { return session.linkState() == LinkState::Disconnected; }, 10000);
    figures.ok = shown > 0;
    return figures;
}

constexpr double kByteMs = 10.0 * 1000.0 / kSimBaudRate;

// The floor of one request in the simulator's timing model: its bytes on the serial line both
// ways, the adapter's processing and the ECU's latency. The adapter's wait for further answers
// and the program's pause are not part of it.
double FloorMsPerRequest(const LiveRun& run, const LiveFigures& f)
{
    if (!run.realistic) {
        return run.latencyMs;
    }
    return (f.inBytesPerRequest + f.outBytesPerRequest) * kByteMs + kSimProcessingUs / 1000.0 +
           run.latencyMs;
}

// What the model says one request takes on average: the floor, where no count digit ended the
// adapter's wait that wait instead of the answer's own bytes (they cross during it) followed by
// the blank line and prompt, and the normal pace's pause.
double ModelMsPerRequest(const LiveRun& run, const LiveFigures& f)
{
    double ms = FloorMsPerRequest(run, f);
    if (run.realistic) {
        const double waited = kSimAnswerWaitMs + 2 * kByteMs - f.outBytesPerRequest * kByteMs;
        ms += (1.0 - f.countedShare) * waited;
    }
    return run.fast ? ms : ms + kPauseAfterRequestMs;
}

// Every combination the table shows, in-process first: the pty and TCP rows take the line bytes
// and requests per pass of the matching in-process run (the same requests and answers).
// fastOnly: the fast-refresh rows alone.
void LiveValuesTable(double seconds, bool fastOnly)
{
    std::printf("| pace | adapter | family | ECU latency | path | values/s | ms/request | floor "
                "ms/request | measured / floor | model ms/request | CPU share of one core |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::vector<LiveRun> runs;
    for (bool fast : {false, true}) {
        for (AdapterIdentity identity : {AdapterIdentity::Elm327Clone, AdapterIdentity::Stn}) {
            for (int latency : {5, 20, 50}) {
                runs.push_back(
                    {kSimFamilyMiug4, fast, identity, latency, true, PortPath::InProcess});
            }
        }
        for (int latency : {5, 20, 50}) {
            runs.push_back({kSimFamily11mp, fast, AdapterIdentity::Elm327Clone, latency, true,
                            PortPath::InProcess});
        }
        for (PortPath path : {PortPath::Pty, PortPath::Tcp}) {
            runs.push_back({kSimFamilyMiug4, fast, AdapterIdentity::Elm327Clone, 5, true, path});
        }
    }
    // The normal pace against the ideal adapter: latency + 50 ms per request on every path.
    for (PortPath path : {PortPath::InProcess, PortPath::Pty, PortPath::Tcp}) {
        runs.push_back({kSimFamilyMiug4, false, AdapterIdentity::Elm327Clone, 20, false, path});
    }

    std::vector<std::pair<LiveRun, LiveFigures>> done;
    for (const LiveRun& run : runs) {
        if (fastOnly && !run.fast) {
            continue;
        }
        LiveFigures f = MeasureLive(run, seconds);
        if (!f.ok) {
            std::printf("| %s | %s | %s | %d ms | %s | link did not come up |\n",
                        run.fast ? "fast" : "normal", IdentityName(run.identity),
                        FamilyName(run.family), run.latencyMs, PathName(run.path));
            continue;
        }
        if (run.path != PortPath::InProcess) {
            for (const auto& [other, figures] : done) {
                if (other.path == PortPath::InProcess && other.family == run.family &&
                    other.fast == run.fast && other.identity == run.identity &&
                    other.latencyMs == run.latencyMs && other.realistic == run.realistic) {
                    f.requestsPerPass = figures.requestsPerPass;
                    f.inBytesPerRequest = figures.inBytesPerRequest;
                    f.outBytesPerRequest = figures.outBytesPerRequest;
                    f.countedShare = figures.countedShare;
                }
            }
        }
        done.emplace_back(run, f);
        const double requests = f.passes * f.requestsPerPass;
        const double msPerRequest = f.wallMs / requests;
        const double floorMs = FloorMsPerRequest(run, f);
        const double modelMs = ModelMsPerRequest(run, f);
        std::printf(
            "| %s | %s | %s | %d ms | %s%s | %.1f | %.2f | %.2f | %.2f | %.2f | %.2f %% |\n",
            run.fast ? "fast" : "normal", IdentityName(run.identity), FamilyName(run.family),
            run.latencyMs, PathName(run.path), run.realistic ? "" : " (ideal adapter)",
            8000.0 * f.passes / f.wallMs, msPerRequest, floorMs, msPerRequest / floorMs, modelMs,
            100.0 * f.cpuMs / f.wallMs);
        std::fflush(stdout);
    }
}

} // namespace
} // namespace velmoro

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
    // A second argument "fast" measures the fast-refresh rows only.
    velmoro::LiveValuesTable(seconds, argc > 2 && std::strcmp(argv[2], "fast") == 0);
    return 0;
}
