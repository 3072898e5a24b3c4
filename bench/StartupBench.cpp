// Start-up time to the shown main window, from the process start and from the start-up call, on
// the offscreen platform with a settings file that names a model (the usual start).
#include "app/Startup.h"
#include "config/Settings.h"
#include "ui/AppState.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

double BootMs()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The process start in the same clock, from /proc/self/stat (field 22, clock ticks since boot).
double ProcessStartMs()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    std::size_t pos = close + 2;
    for (int field = 3; field < 22; ++field) {
        pos = text.find(' ', pos) + 1;
    }
    return std::stod(text.substr(pos)) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    const double processStart = ProcessStartMs();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    velmoro::ProgramPaths paths;
    paths.directory = dir.path() + QLatin1Char('/');
    paths.baseName = QStringLiteral("VelmoroCanDiag");
    QByteArray text = velmoro::DefaultSettingsFile();
    for (const auto& [key, value] : {std::pair<QByteArray, QByteArray>{"Port", "Simulator"},
                                     {"Modell", "Velmoro 850"},
                                     {"Language", "English"}}) {
        const QByteArray head = "\r\n" + key + " =";
        const qsizetype at = text.indexOf(head);
        if (at < 0) {
            std::fprintf(stderr, "default settings file without %s\n", key.constData());
            return 1;
        }
        text.replace(at, text.indexOf("\r\n", at + 2) - at, head + " " + value);
    }
    QFile file(paths.SettingsFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        return 1;
    }
    file.close();

    velmoro::AppState state;
    velmoro::MainWindowOptions options;
    options.showMessage = [](const QString&, const QString&) {};
    const double callStart = BootMs();
    auto window = velmoro::StartProgram(state, paths, options,
                                        [](const QStringList&, float) { return QString(); });
    while (!window->isVisible() || !window->windowHandle() ||
           !window->windowHandle()->isExposed()) {
        if (BootMs() - callStart > 10000) {
            std::fprintf(stderr, "the main window was not shown within 10 s\n");
            return 1;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::processEvents(); // the first paint
    const double shown = BootMs();
    std::printf("start-up: main window shown %.0f ms after the process started, %.0f ms after "
                "the start-up call\n",
                shown - processStart, shown - callStart);
    window->StopAll();
    return 0;
}
