// Reading and writing section [Settings], reading [Modells], and the first-start default file.
#include "config/Settings.h"

#include "config/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace velmoro {

extern const unsigned char kDefaultSettingsData[];
extern const std::size_t kDefaultSettingsSize;

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kModels = QStringLiteral("Modells");

QString ValueKey(std::size_t index)
{
    return QStringLiteral("Value%1").arg(index + 1);
}

bool WriteDefaultFile(const QString& path)
{
    // The settings may live in a folder of their own that does not exist before the first start.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = DefaultSettingsFile();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The directory must end with a separator because file names are appended to it directly.
QString WithSeparator(const QString& directory)
{
    if (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\'))) {
        return directory;
    }
    return directory + QLatin1Char('/');
}

} // namespace

QByteArray DefaultSettingsFile()
{
    return QByteArray(reinterpret_cast<const char*>(kDefaultSettingsData),
                      qsizetype(kDefaultSettingsSize));
}

SettingsReadResult ReadSettingsFile(const ProgramPaths& paths, Settings& settings,
                                    LinkSettings& link, ModelList& models)
{
    SettingsReadResult result;
    const QString path = paths.SettingsFile();
    if (!QFileInfo::exists(path)) {
        result.firstStart = WriteDefaultFile(path);
    }

    IniFile ini;
    if (!ini.Load(path)) {
        result.problem = SettingsFileProblem::Unreadable;
        return result;
    }
    const bool firstStart = result.firstStart;
    result = ReadSettingsContent(ini, paths, settings, link, models);
    result.firstStart = firstStart;
    return result;
}

SettingsReadResult ReadSettingsContent(const IniFile& file, const ProgramPaths& paths,
                                       Settings& settings, LinkSettings& link, ModelList& models)
{
    SettingsReadResult result;
    result.file = file;
    const IniFile& ini = result.file;
    result.opened = true;

    settings.windowX = ini.ReadInt(kSettings, QStringLiteral("WindowX"), 0);
    settings.windowY = ini.ReadInt(kSettings, QStringLiteral("WindowY"), 0);
    const double scale = ini.ReadFloat(kSettings, QStringLiteral("WindowFactor"), 1.0);
    // Every window coordinate is multiplied by the scale; zero, a negative number, NaN or an
    // infinity would give windows of no or unusable size, so those mean the design size.
    settings.windowScale =
        std::isfinite(scale) && scale > 0.0 && std::isfinite(float(scale)) ? float(scale) : 1.0f;
    link.port = ini.ReadString(kSettings, QStringLiteral("Port"));
    link.model = ini.ReadString(kSettings, QStringLiteral("Modell"));
    for (std::size_t i = 0; i < settings.values.size(); ++i) {
        settings.values[i] = ini.ReadString(kSettings, ValueKey(i));
    }
    settings.maxWindow = ini.ReadInt(kSettings, QStringLiteral("MaxWindow"), 1);
    settings.debug = ini.ReadInt(kSettings, QStringLiteral("Debug"), 0);
    settings.logging = ini.ReadInt(kSettings, QStringLiteral("Logging"), 0);
    const QString logDir = ini.ReadString(kSettings, QStringLiteral("LoggingDirectory"));
    settings.loggingDirectory = logDir.isEmpty() ? paths.directory : WithSeparator(logDir);
    settings.csv = ini.ReadInt(kSettings, QStringLiteral("CSV"), 0);
    settings.reconnect = ini.ReadInt(kSettings, QStringLiteral("Reconnect"), 0);
    settings.fastRefresh = ini.ReadInt(kSettings, QStringLiteral("FastRefresh"), 0);
    settings.faultsEvery = std::max(0, ini.ReadInt(kSettings, QStringLiteral("FaultsEvery"), 0));
    settings.language =
        ini.ReadString(kSettings, QStringLiteral("Language"), QStringLiteral("Deutsch"));

    link.slowInit = 0;
    link.ecuId.clear();
    link.ecuVariant.clear();
    models.clear();
    for (const auto& [name, value] : ini.Entries(kModels)) {
        if (name.startsWith(QLatin1Char('-'))) {
            continue;
        }
        const QStringList fields = value.split(QLatin1Char(','));
        ModelEntry entry;
        entry.name = name;
        entry.ecuId = fields.value(0).trimmed();
        entry.ecuVariant = fields.value(1).trimmed();
        models.append(entry);
        if (entry.name == link.model) {
            link.ecuId = entry.ecuId;
            link.ecuVariant = entry.ecuVariant;
            result.matchingModels.append(entry);
        }
    }
    const QStringList sections = ini.SectionNames();
    if (std::all_of(sections.begin(), sections.end(),
                    [](const QString& name) { return name.isEmpty(); }))
        result.problem = SettingsFileProblem::Empty;
    else if (models.isEmpty())
        result.problem = SettingsFileProblem::NoModels;
    return result;
}

QString SettingsProblemKey(SettingsFileProblem problem)
{
    switch (problem) {
    case SettingsFileProblem::None:
        break;
    case SettingsFileProblem::Unreadable:
        return QStringLiteral("Cli_21");
    case SettingsFileProblem::Empty:
        return QStringLiteral("Cli_30");
    case SettingsFileProblem::NoModels:
        return QStringLiteral("Cli_31");
    }
    return {};
}

bool SaveSettingsOnExit(const ProgramPaths& paths, const Settings& settings,
                        const LinkSettings& link, bool restartPending)
{
    IniFile ini;
    const QString path = paths.SettingsFile();
    if (!ini.Load(path) || ini.IsTruncated()) {
        return false;
    }
    // Language first: a file that lacks the line gets it right after its own keys, before the
    // keys added below.
    if (!settings.language.isEmpty())
        ini.WriteString(kSettings, QStringLiteral("Language"), settings.language);
    ini.WriteInt(kSettings, QStringLiteral("WindowX"), restartPending ? 0 : settings.windowX);
    ini.WriteInt(kSettings, QStringLiteral("WindowY"), restartPending ? 0 : settings.windowY);
    ini.WriteFloat(kSettings, QStringLiteral("WindowFactor"), settings.windowScale);
    ini.WriteString(kSettings, QStringLiteral("Port"), link.port);
    ini.WriteString(kSettings, QStringLiteral("Modell"), link.model);
    ini.WriteInt(kSettings, QStringLiteral("SlowInit"), link.slowInit);
    for (std::size_t i = 0; i < settings.values.size(); ++i) {
        ini.WriteString(kSettings, ValueKey(i), settings.values[i]);
    }
    ini.WriteInt(kSettings, QStringLiteral("MaxWindow"), settings.maxWindow);
    ini.WriteInt(kSettings, QStringLiteral("Debug"), settings.debug);
    ini.WriteInt(kSettings, QStringLiteral("Logging"), settings.logging);
    ini.WriteString(kSettings, QStringLiteral("LoggingDirectory"), settings.loggingDirectory);
    ini.WriteInt(kSettings, QStringLiteral("CSV"), settings.csv);
    // Later options join the file only once the user has set them, so that the file of a user
    // who never did keeps its content.
    if (settings.reconnect != 0 || ini.Contains(kSettings, QStringLiteral("Reconnect")))
        ini.WriteInt(kSettings, QStringLiteral("Reconnect"), settings.reconnect);
    if (settings.fastRefresh != 0 || ini.Contains(kSettings, QStringLiteral("FastRefresh")))
        ini.WriteInt(kSettings, QStringLiteral("FastRefresh"), settings.fastRefresh);
    if (settings.faultsEvery != 0 || ini.Contains(kSettings, QStringLiteral("FaultsEvery")))
        ini.WriteInt(kSettings, QStringLiteral("FaultsEvery"), settings.faultsEvery);
    return ini.Save(path);
}

bool SaveLanguageSetting(const ProgramPaths& paths, const QString& name)
{
    IniFile ini;
    const QString path = paths.SettingsFile();
    if (!ini.Load(path) || ini.IsTruncated()) {
        return false;
    }
    ini.WriteString(kSettings, QStringLiteral("Language"), name);
    return ini.Save(path);
}

bool SaveLanguageSetting(const ProgramPaths& paths, SettingsReadResult& read, const QString& name)
{
    // An empty content saved would replace a file that merely could not be read.
    if (!read.opened || read.file.IsTruncated()) {
        return false;
    }
    read.file.WriteString(kSettings, QStringLiteral("Language"), name);
    return read.file.Save(paths.SettingsFile());
}

} // namespace velmoro
