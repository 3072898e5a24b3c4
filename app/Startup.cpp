// Start-up in its fixed order, the event loop and the exit.
#include "app/Startup.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "ecu/StateSetup.h"
#include "ui/AppState.h"
#include "ui/LanguageChooser.h"
#include "ui/Layout.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <cmath>

namespace velmoro {

ProgramPaths ProgramPathsFromExecutable(const QString& executablePath)
{
    QFileInfo info(executablePath);
    const QString resolved = info.canonicalFilePath();
    if (!resolved.isEmpty())
        info = QFileInfo(resolved);
    ProgramPaths paths;
    paths.directory = QDir::toNativeSeparators(info.absolutePath());
    if (!paths.directory.endsWith(QDir::separator()))
        paths.directory += QDir::separator();
    paths.baseName = info.completeBaseName();
    return paths;
}

int FitFontSize(int start, double limit, const std::function<int(int size)>& heightAt)
{
    // A font system that never reports a height would make the search endless; no real face
    // needs more than a few hundred points for the largest scale.
    constexpr int kLargestSize = 400;
    int size = start;
    while (size < kLargestSize) {
        ++size;
        if (heightAt(size) > limit)
            break;
    }
    return std::max(start, size - 1);
}

namespace {

QFont ArialAt(int size, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(size);
    font.setBold(bold);
    return font;
}

QFont FitFont(int start, double limit, bool bold)
{
    const int size = FitFontSize(start, limit, [bold](int candidate) {
        return QFontMetrics(ArialAt(candidate, bold))
            .size(Qt::TextSingleLine, QStringLiteral(" "))
            .height();
    });
    return ArialAt(size, bold);
}

} // namespace

QFont FitBigFont(float scale)
{
    return FitFont(15, 24.0 * scale, true);
}

QFont FitNormalFont(float scale)
{
    return FitFont(5, 14.0 * scale, false);
}

QPoint InitialWindowPosition(int x, int y, const QRect& screen, float scale)
{
    if (x == 0)
        x = screen.x() + static_cast<int>(std::lround(
                             (screen.width() - static_cast<double>(kDesignWidth) * scale) / 2.0));
    if (y == 0)
        y = screen.y() + static_cast<int>(std::lround(
                             (screen.height() - static_cast<double>(kDesignHeight) * scale) / 2.0));
    return {x, y};
}

QString RunLanguageChooser(const QStringList& languages, float scale)
{
    LanguageChooser chooser(languages, scale);
    chooser.exec();
    return chooser.SelectedLanguage();
}

std::unique_ptr<MainWindow> StartProgram(AppState& state, const ProgramPaths& paths,
                                         const MainWindowOptions& options,
                                         const LanguageChooserRunner& chooser)
{
    state.paths = paths;
    state.restartPending = 0;
    state.setupPending = 0;
    state.settings.maxWindow = 1;
    // The only reading of the settings file: everything below takes what it needs from `read`.
    SettingsReadResult read = LoadSettings(state, state);

    const float scale = state.settings.windowScale;
    state.bigFont = FitBigFont(scale);
    state.normalFont = FitNormalFont(scale);
    QApplication::setFont(state.normalFont);

    QRect screen(0, 0, 1024, 768);
    if (QScreen* first = QGuiApplication::primaryScreen())
        screen = first->geometry();
    const QPoint position =
        InitialWindowPosition(state.settings.windowX, state.settings.windowY, screen, scale);
    state.settings.windowX = position.x();
    state.settings.windowY = position.y();

    // A language that names no section (misspelt, removed) would leave every menu and label
    // without text, and Preferences out of reach: the program starts in English and asks, as on
    // a first start. Only the Language line of the file changes.
    const bool languageUnknown =
        !state.firstStart && !LanguageSectionExists(read.file, state.settings.language);
    if (languageUnknown)
        state.settings.language = QStringLiteral("English");
    state.languages = LanguageSectionNames(read.file);
    if (state.firstStart || (languageUnknown && !state.languages.isEmpty())) {
        const QString name = chooser(state.languages, scale);
        if (!name.isEmpty()) {
            state.settings.language = name;
            SaveLanguageSetting(state.paths, read, name);
        }
    }
    // The texts come from the same reading; the exit save writes the Language line.
    ReadLanguage(read.file, state.settings.language, state.texts);

    // A file that cannot be read, is empty or lists no models would start the window with an
    // empty model list and no word why; the command line says the same words.
    const QString problem = read.problem == SettingsFileProblem::None
                                ? QString()
                                : TextOrEnglish(state.texts, SettingsProblemKey(read.problem))
                                      .arg(paths.SettingsFile());

    auto window = std::make_unique<MainWindow>(state, options);
    window->FinishStartup(problem);
    return window;
}

int RunProgram(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    AppState state;
    // An installed or read-only copy keeps its settings and files in the user's folders.
    const ProgramPaths paths =
        LocateDataFiles(ProgramPathsFromExecutable(QCoreApplication::applicationFilePath()));
    std::unique_ptr<MainWindow> window = StartProgram(state, paths, MainWindowOptions{});
    QObject::connect(window.get(), &MainWindow::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // A CSV log named on the command line opens in a log window.
    for (const QString& argument : app.arguments().mid(1))
        if (argument.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            window->OpenLog(argument);
    app.exec();
    window->StopAll();
    const bool restart = window->SaveOnExit();
    window.reset();
    if (restart)
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    return 0;
}

} // namespace velmoro
