// The key -> text map of the chosen language section, and the loading of language sections.
#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

namespace velmoro {

class IniFile;
struct ProgramPaths;

// Read by worker threads as well as the main thread, so every access takes the lock.
class LanguageTexts {
public:
    LanguageTexts() = default;
    // A copy is a snapshot of the texts at that moment, with a lock of its own.
    LanguageTexts(const LanguageTexts& other);
    LanguageTexts& operator=(const LanguageTexts& other);

    // The text of key; a missing key yields the empty text and leaves an empty entry.
    QString Text(const QString& key);
    void Set(const QString& key, const QString& text);
    bool Contains(const QString& key) const;
    int Size() const;
    // The section the texts were last read from; empty while none was.
    QString Language() const;
    void SetLanguage(const QString& name);

private:
    mutable QMutex mutex_;
    QHash<QString, QString> map_;
    QString language_;
};

// Puts section `name` of a settings file already read into texts (adding or replacing entries,
// keeping the others) and makes it their language. Writes nothing. Returns false, and changes
// nothing, when the section is missing or empty.
bool ReadLanguage(const IniFile& file, const QString& name, LanguageTexts& texts);

// The user's choice of a language: reads the settings file, ReadLanguage, and stores the choice
// as [Settings] Language := name. Returns false, and changes nothing, when the file cannot be
// read or the section is missing or empty.
bool LoadLanguage(const ProgramPaths& paths, const QString& name, LanguageTexts& texts);

// The text of key, or the built-in English text when the loaded language lacks it or has it
// empty (a settings file written before the key existed).
QString TextOrEnglish(LanguageTexts& texts, const QString& key);

// Names of every section of the settings file except [Settings] and [Modells], in file order.
QStringList LanguageSectionNames(const ProgramPaths& paths);
QStringList LanguageSectionNames(const IniFile& file);

// Whether LoadLanguage would find texts for `name` in the settings file.
bool LanguageSectionExists(const ProgramPaths& paths, const QString& name);
bool LanguageSectionExists(const IniFile& file, const QString& name);

} // namespace velmoro
