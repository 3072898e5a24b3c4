// What the command line chooses before anything is connected: the settings the window would
// use, overridden by the options, the language texts, and the names a user types.
#pragma once

#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"

#include <QString>
#include <QStringList>

namespace velmoro::cli {

// The options that decide which settings the program runs with.
struct SettingsChoice {
    QString settingsFile; // --settings; empty: the program's own file when present
    QString port;         // --port; empty: the file's
    QString model;        // --model; empty: the file's
    QString language;     // --language; empty: the file's, English when there is no file
};

// The program's own paths as the window names them (its settings file and the folder its files
// go to), for a program in `programDirectory` (with or without a trailing separator).
ProgramPaths CliProgramPaths(const QString& programDirectory);

// What the terminal holds: its configuration, handed to the session by value, and its value
// choices.
struct CliState : CoreState, ValueChoices {};

// Loads the settings into `state` as the window's start-up does (model table, family, values,
// language texts); the choosers and actions follow from the session's family. The options are
// applied to that snapshot in memory: the chosen file is read, never written. On failure returns
// false with a message in `error` (a settings file that cannot be read, is empty or lists no
// models; a model or language that is not in the file).
bool LoadCliState(CliState& state, const ProgramPaths& paths, const SettingsChoice& choice,
                  QString& error);

// The position of `typed` among `names`, letter case, accents, repeated blanks and underscores
// for blanks ignored: ("throttle", {"RPM", "Throttle"}) -> 1, ("francais", {"Français"}) -> 0;
// -1 when none is equal. `nearest` receives the name closest to what was typed, when one is close
// enough to suggest.
int MatchName(const QStringList& names, const QString& typed, QString* nearest = nullptr);

// Levenshtein distance of two texts: ("rmp", "rpm") -> 2.
int EditDistance(const QString& a, const QString& b);

} // namespace velmoro::cli
