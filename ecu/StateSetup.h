// Start-up loading of the settings into the core state, with the first-start row defaults.
#pragma once

#include "config/Settings.h"

namespace velmoro {

struct CoreState;

// Reads the settings file (ReadSettingsFile) into state.settings, state.link and state.models,
// sets state.firstStart, puts the saved names Value1..Value8 into valueText of rows 0..7 (so
// that RefreshChoosers(state, false) finds them), gives rows 0..3 valueIndex 9, 7, 4, 5 on a
// first start, and fills the ECU family (ChooseEcu) once per [Modells] entry matching the saved
// model (the last one wins). Returns what the reader found.
SettingsReadResult LoadSettings(CoreState& state);

// The same from settings already read (ReadSettingsContent), for a run that takes its settings
// from memory and never writes the file.
void ApplySettings(CoreState& state, const SettingsReadResult& read);

} // namespace velmoro
