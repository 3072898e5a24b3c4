// The configuration snapshot: paths, settings, link settings, the model table and the language
// texts. The window and the terminal each own one; the session gets a copy by value and reads
// only that copy on its threads.
#pragma once

#include "config/LanguageTexts.h"
#include "config/Settings.h"

namespace velmoro {

struct CoreState {
    ProgramPaths paths;
    Settings settings;
    LinkSettings link;
    ModelList models;
    bool firstStart = false;

    LanguageTexts texts;
};

} // namespace velmoro
