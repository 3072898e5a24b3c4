// The settings of section [Settings], the model table and the program's own place on disk.
#pragma once

#include "config/IniFile.h"

#include <QString>
#include <QVector>
#include <array>

namespace velmoro {

// ECU family numbers as stored in LinkSettings::family.
enum EcuFamily : int { FamilyMiug4 = 0, Family11mp = 1 };

struct LinkSettings {
    QString port;
    QString model;
    QString ecuId;
    int family = FamilyMiug4;
    QString ecuVariant;
    int slowInit = 0;
};

struct ModelEntry {
    QString name;
    QString ecuId;
    QString ecuVariant;
};
using ModelList = QVector<ModelEntry>;

// Where the program lives: the directory of the executable (with a trailing separator) and the
// executable's name without extension. Every file the program writes is named from these.
// When the program may not write beside itself (an installed copy), `directory` is the user's
// folder for written files, and the settings file and the program itself live elsewhere; both
// extra fields are empty when they equal `directory`.
struct ProgramPaths {
    QString directory;
    QString baseName;
    QString settingsDirectory; // with a trailing separator; empty: directory
    QString programDirectory;  // with a trailing separator; empty: directory
    QString SettingsFile() const
    {
        return (settingsDirectory.isEmpty() ? directory : settingsDirectory) + baseName +
               QStringLiteral(".ini");
    }
    QString ProgramDirectory() const
    {
        return programDirectory.isEmpty() ? directory : programDirectory;
    }
};

// The [Settings] keys other than Port and Modell (those live in LinkSettings).
struct Settings {
    int windowX = 0;
    int windowY = 0;
    float windowScale = 1.0f;      // key WindowFactor
    std::array<QString, 8> values; // Value1 ... Value8: saved chooser names
    int maxWindow = 1;
    int debug = 0;
    int logging = 0;
    QString loggingDirectory; // always ends with a separator once read
    int csv = 0;
    // Reconnect: after a link loss the user did not ask for, the session tries the port again
    // by itself. Not in the built-in default file; written at exit once it was set.
    int reconnect = 0;
    // FastRefresh: values are read at the adapter's own speed instead of with a pause after
    // each request, falling back by itself when answers turn bad. Written like Reconnect.
    int fastRefresh = 0;
    // FaultsEvery: while the CSV log is on, the fault memory is read this many seconds apart
    // and what appeared or went is noted in the ride's event file; 0 (the default): only the
    // reads the user asks for. Written like Reconnect.
    int faultsEvery = 0;
    QString language = QStringLiteral("Deutsch");
};

// What is wrong with a settings file as a whole, so that a view can name the file and the fault
// instead of starting with an empty model list.
enum class SettingsFileProblem {
    None,
    Unreadable, // it exists but cannot be read (no permission, a folder, a device)
    Empty,      // no section at all: nothing but blanks, comments or nothing
    NoModels,   // no motorcycle model in [Modells]
};

// What ReadSettingsFile found besides the settings themselves.
struct SettingsReadResult {
    bool firstStart = false; // the file was just written from the built-in default
    bool opened = false;     // the file could be read at all
    SettingsFileProblem problem = SettingsFileProblem::None;
    // ECU identifiers of every [Modells] entry whose name equals LinkSettings::model, in file
    // order; the caller fills the ECU family table once per entry so that the last one wins.
    QVector<ModelEntry> matchingModels;
    // The file as it was read (empty when it could not be): start-up takes the language sections
    // from here instead of reading the file again.
    IniFile file;
};

// Reads (and on first start creates) the settings file. Fills settings, link (port, model,
// ecuId, ecuVariant, slowInit := 0) and models. Never throws; a missing, unreadable or garbled
// file leaves the absent-key values.
SettingsReadResult ReadSettingsFile(const ProgramPaths& paths, Settings& settings,
                                    LinkSettings& link, ModelList& models);

// The same from a file already read (or content given in memory): the settings of a run that
// must not write the file. Never sets firstStart; `opened` is true.
SettingsReadResult ReadSettingsContent(const IniFile& file, const ProgramPaths& paths,
                                       Settings& settings, LinkSettings& link, ModelList& models);

// The language key of the words that name a settings file's problem ("%1" the file); empty for
// SettingsFileProblem::None.
QString SettingsProblemKey(SettingsFileProblem problem);

// Writes every [Settings] key of the exit save, keeping the rest of the file: Language first
// (left as it is when settings.language is empty, i.e. no language could be loaded), then the
// others. restartPending writes WindowX/WindowY as 0. Returns false (old file intact) on failure.
bool SaveSettingsOnExit(const ProgramPaths& paths, const Settings& settings,
                        const LinkSettings& link, bool restartPending);

// Writes [Settings] Language := name, keeping the rest of the file.
bool SaveLanguageSetting(const ProgramPaths& paths, const QString& name);
// The same into the content ReadSettingsFile read (which then holds the new line), without
// reading the file again. False, and nothing written, when that file could not be read.
bool SaveLanguageSetting(const ProgramPaths& paths, SettingsReadResult& read, const QString& name);

// The built-in default settings file, byte for byte as written on first start.
QByteArray DefaultSettingsFile();

} // namespace velmoro
