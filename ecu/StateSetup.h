// Start-up loading of the settings into the configuration, with the first-start row defaults
// for the view.
#pragma once

#include "config/Settings.h"

namespace velmoro {

struct CoreState;
struct ValueChoices;

// Reads the settings file (ReadSettingsFile) into config.settings, config.link and
// config.models, sets config.firstStart, puts the saved names Value1..Value8 into valueText of the
// view's rows 0..7 (so that RefreshChoosers(view, ecu, false) finds them), gives rows 0..3
// valueIndex 9, 7, 4, 5 on a first start, and takes the model of each [Modells] entry matching
// the saved model (the last one wins) with its family (ChooseFamily). Returns what the reader
// found.
SettingsReadResult LoadSettings(CoreState& config, ValueChoices& view);

// The same from settings already read (ReadSettingsContent), for a run that takes its settings
// from memory and never writes the file.
void ApplySettings(CoreState& config, ValueChoices& view, const SettingsReadResult& read);

} // namespace velmoro
