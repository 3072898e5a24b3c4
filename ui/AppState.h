// The window's state: its configuration, the values it shows and what only the window needs.
#pragma once

#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"

#include <QFont>
#include <QStringList>

namespace velmoro {

// View numbers are the menu item ids of the views.
enum ViewModeId : int {
    ViewMeasurements = 3,
    ViewFaults = 4,
    ViewActors = 6,
    ViewCoTrim = 7,
    ViewReport = 11
};

// Main menu item ids, used everywhere in the program.
enum MenuItemId : int {
    ItemConnect = 0,
    ItemPreferences = 1,
    ItemQuit = 2,
    ItemMeasurements = 3,
    ItemFaults = 4,
    ItemDiagram = 5,
    ItemActors = 6,
    ItemCoTrim = 7,
    ItemEcuRead = 8,
    ItemEcuWrite = 9,
    ItemEeprom = 10,
    ItemReport = 11,
    ItemAbout = 12,
    ItemOpenLog = 13
};

// The configuration part is handed to the session by value (DiagSession::applySettings); the
// value choices are the window's own.
struct AppState : CoreState, ValueChoices {
    int viewMode = ViewMeasurements;
    int restartPending = 0; // MaxWindow changed: the exit saves 0, 0 and starts the program again
    int setupPending = 0;   // the settings dialog was opened because no model was chosen
    QFont bigFont;          // bold, value texts and emphasised labels
    QFont normalFont;       // every gadget's default
    // The language sections of the settings file as start-up read them; the program never
    // changes them, so the settings dialog offers these without reading the file again.
    QStringList languages;
};

} // namespace velmoro
