// The choice of the settings and files directories, their creation, and the help page lookup.
#include "config/DataLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace velmoro {

namespace {

QString WithSeparator(const QString& directory)
{
    QString native = QDir::toNativeSeparators(directory);
    if (!native.isEmpty() && !native.endsWith(QDir::separator()))
        native += QDir::separator();
    return native;
}

} // namespace

DataLocations ChooseDataLocations(const QString& programDirectory, bool programDirectoryWritable,
                                  const StandardLocations& standard)
{
    DataLocations locations;
    locations.programDirectory = WithSeparator(programDirectory);
    locations.settingsDirectory = locations.programDirectory;
    locations.filesDirectory = locations.programDirectory;
    if (programDirectoryWritable)
        return locations;

    const QString config = WithSeparator(standard.config);
    const QString documents =
        standard.documents.isEmpty()
            ? QString()
            : WithSeparator(WithSeparator(standard.documents) + QLatin1String(kUserFilesFolder));
    if (config.isEmpty() && documents.isEmpty())
        return locations;
    locations.settingsDirectory = config.isEmpty() ? documents : config;
    locations.filesDirectory = documents.isEmpty() ? config : documents;
    return locations;
}

ProgramPaths PathsFor(const DataLocations& locations, const QString& baseName)
{
    ProgramPaths paths;
    paths.directory = locations.filesDirectory;
    paths.baseName = baseName;
    if (locations.settingsDirectory != locations.filesDirectory)
        paths.settingsDirectory = locations.settingsDirectory;
    if (locations.programDirectory != locations.filesDirectory)
        paths.programDirectory = locations.programDirectory;
    return paths;
}

bool IsInstalledProgramDirectory(const QString& programDirectory)
{
    return QFileInfo(QDir(programDirectory).filePath(QStringLiteral("../share/velmorocandiag")))
        .isDir();
}

bool ProgramDirectoryWritable(const QString& programDirectory)
{
    const QFileInfo info(programDirectory);
    return info.isDir() && info.isWritable() && !IsInstalledProgramDirectory(programDirectory);
}

StandardLocations SystemStandardLocations()
{
    StandardLocations standard;
    standard.config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    standard.documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return standard;
}

bool PrepareDataLocations(const DataLocations& locations, const QString& baseName)
{
    bool created = true;
    for (const QString& directory : {locations.settingsDirectory, locations.filesDirectory})
        if (!QDir().mkpath(directory))
            created = false;

    const QString suffix = baseName + QStringLiteral(".ini");
    const QString userFile = locations.settingsDirectory + suffix;
    const QString programFile = locations.programDirectory + suffix;
    if (locations.settingsDirectory != locations.programDirectory && !QFileInfo::exists(userFile) &&
        QFileInfo(programFile).isFile() && QFile::copy(programFile, userFile)) {
        // The copy keeps the source's permissions; a read-only copy could never be saved.
        QFile::setPermissions(userFile,
                              QFile::permissions(userFile) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return created;
}

ProgramPaths LocateDataFiles(const ProgramPaths& program)
{
    const QString programDirectory = program.ProgramDirectory();
    const DataLocations locations = ChooseDataLocations(
        programDirectory, ProgramDirectoryWritable(programDirectory), SystemStandardLocations());
    if (!locations.BesideProgram())
        PrepareDataLocations(locations, program.baseName);
    return PathsFor(locations, program.baseName);
}

bool UsesUserFolders(const ProgramPaths& paths)
{
    return paths.SettingsFile() !=
               paths.ProgramDirectory() + paths.baseName + QStringLiteral(".ini") ||
           paths.directory != paths.ProgramDirectory();
}

QString DataLocationText(const ProgramPaths& paths)
{
    return QStringLiteral("Settings file: ") + paths.SettingsFile() + QLatin1Char('\n') +
           QStringLiteral("Files: ") + paths.directory;
}

QString HelpPagePath(const QString& programDirectory, const QString& sourceDocsDirectory,
                     const std::function<bool(const QString& path)>& exists)
{
    const QDir program(programDirectory);
    const QString beside = QDir::cleanPath(program.filePath(QStringLiteral("docs/help.html")));
    const QString installed =
        QDir::cleanPath(program.filePath(QStringLiteral("../share/velmorocandiag/help.html")));
    const QString source =
        sourceDocsDirectory.isEmpty()
            ? QString()
            : QDir::cleanPath(QDir(sourceDocsDirectory).filePath(QStringLiteral("help.html")));
    for (const QString& candidate : {beside, installed, source})
        if (!candidate.isEmpty() && exists(candidate))
            return QDir::toNativeSeparators(candidate);
    return QDir::toNativeSeparators(installed);
}

} // namespace velmoro
