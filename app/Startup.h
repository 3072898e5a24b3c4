// Start-up of the program in its fixed order, and the pieces of it that can be tested alone.
#pragma once

#include "config/Settings.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

namespace velmoro {

struct AppState;
class MainWindow;
struct MainWindowOptions;

// The program directory (with a trailing separator) and base name from the executable's path,
// symlinks resolved: "/opt/v/bin/VelmoroCanDiag" -> {"/opt/v/bin/", "VelmoroCanDiag"}.
ProgramPaths ProgramPathsFromExecutable(const QString& executablePath);

// The font size search: from `start`, add 1 while the height of a blank at the next size stays
// within `limit` pixels; never below `start`. heightAt(size) measures one size.
int FitFontSize(int start, double limit, const std::function<int(int size)>& heightAt);

// The big (bold, limit 24 x scale from 15) and normal (limit 14 x scale from 5) "Arial" fonts.
QFont FitBigFont(float scale);
QFont FitNormalFont(float scale);

// 0 centres that coordinate on the screen; any other value is used unchanged (also off-screen).
QPoint InitialWindowPosition(int x, int y, const QRect& screen, float scale);

// Runs the first-start language chooser; returns the chosen name (written to [Settings]).
using LanguageChooserRunner = std::function<QString(const QStringList& languages, float scale)>;
QString RunLanguageChooser(const QStringList& languages, float scale);

// Start-up: settings, fonts, window position, the language chooser on a first
// start, the main window with its views, the language, the choosers, the menu state; shows the
// window. The state must outlive the window.
std::unique_ptr<MainWindow> StartProgram(AppState& state, const ProgramPaths& paths,
                                         const MainWindowOptions& options,
                                         const LanguageChooserRunner& chooser = RunLanguageChooser);

// The whole program: start-up, the event loop, the exit steps and the self-restart.
int RunProgram(int argc, char** argv);

} // namespace velmoro
