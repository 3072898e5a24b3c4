// Opening a one-hour CSV value log (72,000 lines of eight values from the simulated bike): the
// reader alone, and the log window up to its first drawn frame on the offscreen platform; then a
// zoom step of the shown window.
#include "support/SimulatedRideLog.h"
#include "ui/LogWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // An hour at 20 lines a second; chooser 7 reads a value the ECU never answers ("----").
    const velmoro::test::RideLog ride = velmoro::test::WriteSimulatedRideLog(
        dir.path() + "/", velmoro::kSimFamilyMiug4, 72000, {1, 2, 3, 4, 5, 6, 9, 86});
    velmoro::LanguageTexts texts;
    velmoro::test::LoadDefaultEnglish(texts);
    std::printf("log: %d lines, %.1f MiB\n", int(ride.rows.size()),
                double(QFileInfo(ride.fileName).size()) / (1024.0 * 1024.0));

    std::vector<double> readMs;
    std::vector<double> openMs;
    std::vector<double> zoomMs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const velmoro::LogReadResult read = velmoro::ReadLogFile(ride.fileName);
        readMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!read.Ok()) {
            std::printf("cannot read the log\n");
            return 1;
        }

        timer.restart();
        QString error;
        velmoro::LogWindow* window = velmoro::OpenLogWindow(nullptr, ride.fileName, texts, &error);
        if (!window) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        window->grab(); // the first complete frame
        openMs.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        for (int step = 0; step < 10; ++step)
            window->ZoomAt(1800000, 0.8);
        window->grab();
        zoomMs.push_back(double(timer.nsecsElapsed()) / 1e6 / 10);
        delete window;
    }
    std::printf("read the hour (ReadLogFile):           median %.1f ms of 5\n", Median(readMs));
    std::printf("open the window to its first frame:    median %.1f ms of 5\n", Median(openMs));
    std::printf("one wheel step of zoom, redrawn:       median %.1f ms of 5\n", Median(zoomMs));
    return 0;
}
