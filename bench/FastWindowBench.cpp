// What the whole program costs while it refreshes: the main window (offscreen) connected to
// velmoro-sim on a pty with its ELM327-like timing and 5 ms ECU latency, eight values chosen,
// the diagram shown and the CSV log on; CPU time and resident memory of the program's process
// (the simulator runs in its own), once with fast refresh and once at the normal pace.
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

bool Measure(bool fast, const QString& port, double seconds)
{
    QTemporaryDir dir;
    velmoro::ProgramPaths paths;
    paths.directory = dir.path() + QLatin1Char('/');
    paths.baseName = QStringLiteral("VelmoroCanDiag");
    QByteArray text = velmoro::DefaultSettingsFile();
    const QByteArray csv = QByteArrayLiteral("CSV = 1") +
                           (fast ? QByteArrayLiteral("\r\nFastRefresh = 1") : QByteArray());
    for (const auto& [key, value] : {std::pair<QByteArray, QByteArray>{"Port", port.toUtf8()},
                                     {"Modell", "Velmoro 850"},
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
    std::printf("| %s | %.0f s | %lld | %.1f | %.2f %% | %lld KiB | %lld KiB | %+lld KiB |\n",
                fast ? "fast" : "normal", wallMs / 1000.0, static_cast<long long>(passes),
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

    QProcess sim;
    sim.start(QStringLiteral(VELMORO_SIM_EXECUTABLE), {QStringLiteral("--pty")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "velmoro-sim did not start\n");
        return 1;
    }
    const QString port = QString::fromLatin1(sim.readLine()).trimmed();
    std::printf("| pace | measured | passes | values/s | CPU share of one core | resident "
                "before | after | growth |\n|---|---|---|---|---|---|---|---|\n");
    const bool ok = Measure(true, port, seconds) && Measure(false, port, seconds);
    sim.kill();
    sim.waitForFinished(5000);
    return ok ? 0 : 1;
}
