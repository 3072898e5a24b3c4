// What the whole program costs while it refreshes: the main window (offscreen) connected to
// velmoro-sim on a pty with its ELM327-like timing, eight values chosen, the diagram shown and
// the CSV log on; values a second (the CSV lines), CPU time and resident memory of the
// program's process (the simulator runs in its own). Fast refresh for both families at 5, 20
// and 50 ms ECU latency, then the normal pace once for comparison.
#include "BenchSupport.h"
#include "app/Startup.h"
#include "config/Settings.h"
#include "session/DiagSession.h"
#include "ui/AppState.h"
#include "ui/DiagramWindow.h"
#include "ui/MainWindow.h"
#include "ui/Views.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

using velmoro::bench::CpuMs;
using velmoro::bench::ResidentKiB;
using velmoro::bench::RunEvents;
using velmoro::bench::WallMs;

qsizetype CsvLines(const QString& directory)
{
    const QStringList files = QDir(directory).entryList({QStringLiteral("*.csv")}, QDir::Files);
    if (files.isEmpty()) {
        return 0;
    }
    QFile file(directory + QLatin1Char('/') + files.first());
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

struct WindowRun {
    bool fast = true;
    bool miug4 = true;
    int latencyMs = 5;
};

bool Measure(const WindowRun& run, const QString& port, double seconds)
{
    const bool fast = run.fast;
    QTemporaryDir dir;
    velmoro::ProgramPaths paths;
    paths.directory = dir.path() + QLatin1Char('/');
    paths.baseName = QStringLiteral("VelmoroCanDiag");
    QByteArray text = velmoro::DefaultSettingsFile();
    const QByteArray csv = QByteArrayLiteral("CSV = 1") +
                           (fast ? QByteArrayLiteral("\r\nFastRefresh = 1") : QByteArray());
    for (const auto& [key, value] : {std::pair<QByteArray, QByteArray>{"Port", port.toUtf8()},
                                     {"Modell", run.miug4 ? "Velmoro 850" : "Velmoro 1000"},
                                     {"Language", "English"},
                                     {"LoggingDirectory", dir.path().toUtf8()}}) {
        const QByteArray head = "\r\n" + key + " =";
        const qsizetype at = text.indexOf(head);
        text.replace(at, text.indexOf("\r\n", at + 2) - at, head + " " + value);
    }
    text.replace("CSV = 0", csv);
    QFile file(paths.SettingsFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        return false;
    }
    file.close();

    velmoro::AppState state;
    velmoro::MainWindowOptions options;
    options.showMessage = [](const QString&, const QString&) {};
    auto window = velmoro::StartProgram(state, paths, options,
                                        [](const QStringList&, float) { return QString(); });
    // Eight different values, picked as the user would.
    for (int r = 0; r < 8; ++r) {
        QComboBox* box = window->Measurements()->choosers[static_cast<std::size_t>(r)];
        const int entry = 1 + r * 5;
        box->setCurrentIndex(entry);
        emit box->activated(entry);
    }
    window->HandleMenu(velmoro::ItemConnect);
    window->HandleMenu(velmoro::ItemDiagram);
    if (!window->Diagram()->isVisible()) {
        std::printf("the diagram is not shown\n");
        return false;
    }
    const QString logs = dir.path();
    if (!RunEvents([&] { return CsvLines(logs) > 20; }, 30000)) {
        std::printf("%s: no values within 30 s\n", fast ? "fast" : "normal");
        return false;
    }
    RunEvents([] { return false; }, 2000); // the diagram fills its first strip

    const long long residentBefore = ResidentKiB();
    const qsizetype lines0 = CsvLines(logs);
    const double wall0 = WallMs();
    const double cpu0 = CpuMs();
    RunEvents([] { return false; }, seconds * 1000.0);
    const double cpuMs = CpuMs() - cpu0;
    const double wallMs = WallMs() - wall0;
    const qsizetype passes = CsvLines(logs) - lines0;
    const long long residentAfter = ResidentKiB();
    std::printf("| %s | %s | %d ms | %.0f s | %lld | %.1f | %.2f %% | %lld KiB | %lld KiB | "
                "%+lld KiB |\n",
                fast ? "fast" : "normal", run.miug4 ? "MIUG4" : "11MP", run.latencyMs,
                wallMs / 1000.0, static_cast<long long>(passes),
                8000.0 * static_cast<double>(passes) / wallMs, 100.0 * cpuMs / wallMs,
                residentBefore, residentAfter, residentAfter - residentBefore);
    std::fflush(stdout);
    window->HandleMenu(velmoro::ItemConnect);
    RunEvents([&] { return !window->WorkerAlive(); }, 10000);
    window->StopAll();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;

    std::printf("| pace | family | ECU latency | measured | passes | values/s | CPU share of one "
                "core | resident before | after | growth |\n|---|---|---|---|---|---|---|---|---|"
                "---|\n");
    std::vector<WindowRun> runs;
    for (bool miug4 : {true, false}) {
        for (int latency : {5, 20, 50}) {
            runs.push_back({true, miug4, latency});
        }
    }
    runs.push_back({false, true, 5});
    bool ok = true;
    for (const WindowRun& run : runs) {
        QProcess sim;
        sim.start(QStringLiteral(VELMORO_SIM_EXECUTABLE),
                  {QStringLiteral("--pty"), QStringLiteral("--family"),
                   run.miug4 ? QStringLiteral("miug4") : QStringLiteral("11mp"),
                   QStringLiteral("--request-latency"), QString::number(run.latencyMs)});
        if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "velmoro-sim did not start\n");
            return 1;
        }
        const QString port = QString::fromLatin1(sim.readLine()).trimmed();
        ok = Measure(run, port, seconds) && ok;
        sim.kill();
        sim.waitForFinished(5000);
    }
    return ok ? 0 : 1;
}
