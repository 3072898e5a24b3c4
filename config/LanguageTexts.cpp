// The language text map and the loading of language sections from the settings file.
#include "config/LanguageTexts.h"

#include "config/IniFile.h"
#include "config/Settings.h"

#include <QMutexLocker>

namespace velmoro {

QString TextOrEnglish(LanguageTexts& texts, const QString& key)
{
    if (texts.Contains(key)) {
        const QString text = texts.Text(key);
        if (!text.isEmpty())
            return text;
    }
    static const QHash<QString, QString> english = [] {
        IniFile ini;
        ini.SetContent(DefaultSettingsFile());
        QHash<QString, QString> map;
        for (const auto& [name, text] : ini.Entries(QStringLiteral("English")))
            map.insert(name, text);
        return map;
    }();
    return english.value(key);
}

LanguageTexts::LanguageTexts(const LanguageTexts& other)
{
    QMutexLocker lock(&other.mutex_);
    map_ = other.map_;
    language_ = other.language_;
}

LanguageTexts& LanguageTexts::operator=(const LanguageTexts& other)
{
    if (this == &other)
        return *this;
    QHash<QString, QString> map;
    QString language;
    {
        QMutexLocker lock(&other.mutex_);
        map = other.map_;
        language = other.language_;
    }
    QMutexLocker lock(&mutex_);
    map_ = std::move(map);
    language_ = std::move(language);
    return *this;
}

QString LanguageTexts::Text(const QString& key)
{
    QMutexLocker lock(&mutex_);
    return map_[key];
}

void LanguageTexts::Set(const QString& key, const QString& text)
{
    QMutexLocker lock(&mutex_);
    map_.insert(key, text);
}

bool LanguageTexts::Contains(const QString& key) const
{
    QMutexLocker lock(&mutex_);
    return map_.contains(key);
}

int LanguageTexts::Size() const
{
    QMutexLocker lock(&mutex_);
    return int(map_.size());
}

QString LanguageTexts::Language() const
{
    QMutexLocker lock(&mutex_);
    return language_;
}

void LanguageTexts::SetLanguage(const QString& name)
{
    QMutexLocker lock(&mutex_);
    language_ = name;
}

bool ReadLanguage(const IniFile& file, const QString& name, LanguageTexts& texts)
{
    const IniEntries entries = file.Entries(name);
    if (entries.isEmpty()) {
        return false;
    }
    for (const auto& [key, text] : entries) {
        texts.Set(key, text);
    }
    texts.SetLanguage(name);
    return true;
}

bool LoadLanguage(const ProgramPaths& paths, const QString& name, LanguageTexts& texts)
{
    IniFile ini;
    const QString path = paths.SettingsFile();
    if (!ini.Load(path) || !ReadLanguage(ini, name, texts)) {
        return false;
    }
    // The texts are applied even when the choice cannot be stored; the next start then simply
    // uses the language the file still names.
    ini.WriteString(QStringLiteral("Settings"), QStringLiteral("Language"), name);
    ini.Save(path);
    return true;
}

bool LanguageSectionExists(const ProgramPaths& paths, const QString& name)
{
    IniFile ini;
    return ini.Load(paths.SettingsFile()) && LanguageSectionExists(ini, name);
}

bool LanguageSectionExists(const IniFile& file, const QString& name)
{
    return !file.Entries(name).isEmpty();
}

QStringList LanguageSectionNames(const ProgramPaths& paths)
{
    IniFile ini;
    if (!ini.Load(paths.SettingsFile())) {
        return {};
    }
    return LanguageSectionNames(ini);
}

QStringList LanguageSectionNames(const IniFile& file)
{
    QStringList names;
    for (const QString& name : file.SectionNames()) {
        if (name.isEmpty() || name.compare(QStringLiteral("Settings"), Qt::CaseInsensitive) == 0 ||
            name.compare(QStringLiteral("Modells"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        names.append(name);
    }
    return names;
}

} // namespace velmoro
