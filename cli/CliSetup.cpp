// The settings, texts and typed names of the command line.
#include "cli/CliSetup.h"

#include "config/IniFile.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/RefreshCycle.h"
#include "ecu/StateSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace velmoro::cli {

namespace {

const QString kSettingsSection = QStringLiteral("Settings");
const QString kModelsSection = QStringLiteral("Modells");
const QString kEnglish = QStringLiteral("English");

// "Français" -> "francais", "Air_temperature" -> "air temperature".
QString Normalised(const QString& text)
{
    QString plain;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c == QLatin1Char('_') ? QLatin1Char(' ') : c;
    return plain.simplified().toCaseFolded();
}

QStringList LanguageNames(const IniFile& ini)
{
    QStringList names;
    for (const QString& name : ini.SectionNames())
        if (!name.isEmpty() && name.compare(kSettingsSection, Qt::CaseInsensitive) != 0 &&
            name.compare(kModelsSection, Qt::CaseInsensitive) != 0)
            names << name;
    return names;
}

QStringList ModelNames(const IniFile& ini)
{
    QStringList names;
    for (const auto& entry : ini.Entries(kModelsSection))
        if (!entry.first.startsWith(QLatin1Char('-')))
            names << entry.first;
    return names;
}

// `typed` as one of `names`, or the message naming what is on offer.
bool Resolve(const QStringList& names, const QString& typed, const QString& unknownText,
             LanguageTexts& texts, QString& resolved, QString& error)
{
    QString nearest;
    const int at = MatchName(names, typed, &nearest);
    if (at >= 0) {
        resolved = names[at];
        return true;
    }
    error = unknownText.arg(typed, names.join(QStringLiteral(", ")));
    if (!nearest.isEmpty())
        error += QLatin1Char(' ') + TextOrEnglish(texts, QStringLiteral("Cli_2")).arg(nearest);
    return false;
}

} // namespace

ProgramPaths CliProgramPaths(const QString& programDirectory)
{
    ProgramPaths paths;
    paths.directory = QDir::toNativeSeparators(QDir(programDirectory).absolutePath());
    if (!paths.directory.endsWith(QDir::separator()))
        paths.directory += QDir::separator();
    // The window's name: its settings file and the names of the files it writes.
    paths.baseName = QStringLiteral("VelmoroCanDiag");
    return paths;
}

int EditDistance(const QString& a, const QString& b)
{
    std::vector<int> row(static_cast<std::size_t>(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = static_cast<int>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const int substitution = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            diagonal = row[uj];
            row[uj] = std::min({row[uj] + 1, row[uj - 1] + 1, substitution});
        }
    }
    return row.back();
}

int MatchName(const QStringList& names, const QString& typed, QString* nearest)
{
    const QString wanted = Normalised(typed);
    int best = -1;
    int bestScore = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString name = Normalised(names[i]);
        if (name.isEmpty())
            continue;
        if (name == wanted)
            return i;
        // A name holding what was typed is the likeliest meaning ("temp" for "Air temperature").
        const int score = !wanted.isEmpty() && name.contains(wanted)
                              ? static_cast<int>(name.size() - wanted.size()) / 8
                              : EditDistance(wanted, name);
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    // Suggest only what a slip of the fingers explains, not any name at all.
    const int limit = std::max(2, static_cast<int>(wanted.size()) / 3);
    if (nearest)
        *nearest = best >= 0 && bestScore <= limit ? names[best] : QString();
    return -1;
}

bool LoadCliState(CliState& state, const ProgramPaths& paths, const SettingsChoice& choice,
                  QString& error)
{
    IniFile ini;
    bool ownFile = true;
    const QString source =
        choice.settingsFile.isEmpty() ? paths.SettingsFile() : choice.settingsFile;
    SettingsFileProblem problem = SettingsFileProblem::None;
    if (!choice.settingsFile.isEmpty() || QFileInfo::exists(source)) {
        // A folder opens as a file on some systems; it is never a settings file.
        if (QFileInfo(source).isDir() || !ini.Load(source))
            problem = SettingsFileProblem::Unreadable;
    } else {
        ini.SetContent(DefaultSettingsFile());
        ownFile = false;
    }
    if (problem == SettingsFileProblem::None) {
        Settings settings;
        LinkSettings link;
        ModelList models;
        problem = ReadSettingsContent(ini, paths, settings, link, models).problem;
    }
    if (problem != SettingsFileProblem::None) {
        // Said before any name is looked up in it: "no such model" would blame the wrong thing.
        error = TextOrEnglish(state.texts, SettingsProblemKey(problem)).arg(source);
        return false;
    }

    QString language = ini.ReadString(kSettingsSection, QStringLiteral("Language"));
    if (!choice.language.isEmpty()) {
        if (!Resolve(LanguageNames(ini), choice.language,
                     TextOrEnglish(state.texts, QStringLiteral("Cli_5")), state.texts, language,
                     error))
            return false;
    } else if (!ownFile || ini.Entries(language).isEmpty()) {
        // Without a file of the user's there was no first start to ask for a language.
        language = kEnglish;
    }
    ReadLanguage(ini, language, state.texts);
    ini.WriteString(kSettingsSection, QStringLiteral("Language"), language);

    if (!choice.model.isEmpty()) {
        QString model;
        if (!Resolve(ModelNames(ini), choice.model,
                     TextOrEnglish(state.texts, QStringLiteral("Cli_4")), state.texts, model,
                     error))
            return false;
        ini.WriteString(kSettingsSection, QStringLiteral("Modell"), model);
    }
    if (!choice.port.isEmpty())
        ini.WriteString(kSettingsSection, QStringLiteral("Port"), choice.port);

    // The options changed the snapshot in memory only: the file stays as it was.
    state.paths = paths;
    ApplySettings(state, state,
                  ReadSettingsContent(ini, paths, state.settings, state.link, state.models));
    return true;
}

} // namespace velmoro::cli
