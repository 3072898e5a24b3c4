// Where the program keeps its settings file and writes its files, and where its help page is.
#pragma once

#include "config/Settings.h"

#include <QString>
#include <functional>

namespace velmoro {

// The folder below the documents location that receives the written files of an installed copy.
inline constexpr char kUserFilesFolder[] = "VelmoroCanDiag";

// The user's standard folders (QStandardPaths), without trailing separators; either may be
// empty on a system that has none.
struct StandardLocations {
    QString config;    // AppConfigLocation, e.g. "/home/ann/.config/VelmoroCanDiag"
    QString documents; // DocumentsLocation, e.g. "/home/ann/Documents"
};

// Every directory ends with a separator.
struct DataLocations {
    QString programDirectory;
    QString settingsDirectory; // the settings file
    QString filesDirectory;    // reports, surveys, stored data, default logs, diagram pictures
    bool BesideProgram() const
    {
        return settingsDirectory == programDirectory && filesDirectory == programDirectory;
    }
};

// Beside the program while its directory is writable. Otherwise the settings file goes to the
// configuration folder and the written files to <documents>/VelmoroCanDiag/; a missing standard
// folder is replaced by the other one, and with neither the program directory is all there is:
//   ("/usr/bin/", false, {"/h/.config/V", "/h/Documents"}) -> settings "/h/.config/V/",
//                                                            files "/h/Documents/VelmoroCanDiag/"
DataLocations ChooseDataLocations(const QString& programDirectory, bool programDirectoryWritable,
                                  const StandardLocations& standard);

// The paths the rest of the program names its files from.
ProgramPaths PathsFor(const DataLocations& locations, const QString& baseName);

// An installed copy: <program dir>/../share/velmorocandiag exists. Such a copy never writes
// beside itself, even for a user (root) who may write into its directory.
bool IsInstalledProgramDirectory(const QString& programDirectory);

// Whether the program may keep its files beside itself: writable and not an installed copy.
bool ProgramDirectoryWritable(const QString& programDirectory);

StandardLocations SystemStandardLocations();

// Creates the settings and files directories. When the settings leave the program directory and
// the user has no settings file yet, a settings file beside the program is copied as the start
// (made writable). Returns false when a directory could not be created.
bool PrepareDataLocations(const DataLocations& locations, const QString& baseName);

// The whole choice for the running program: checks its directory, asks the system for the
// standard folders and creates what is needed.
ProgramPaths LocateDataFiles(const ProgramPaths& program);

// True when the written files or the settings do not live beside the program.
bool UsesUserFolders(const ProgramPaths& paths);

// Two lines for the about box and the status bar's tool tip:
// "Settings file: <file>" and "Files: <directory>".
QString DataLocationText(const ProgramPaths& paths);

// The help page: docs/help.html beside the program, else the installed
// <program dir>/../share/velmorocandiag/help.html, else <sourceDocsDirectory>/help.html (a build
// tree). Returns the installed path when none exists, so the caller names a useful place.
QString HelpPagePath(const QString& programDirectory, const QString& sourceDocsDirectory,
                     const std::function<bool(const QString& path)>& exists);

} // namespace velmoro
