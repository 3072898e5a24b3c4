// The about text.
#pragma once

#include <QString>

namespace velmoro {

class LanguageTexts;

// About_1 .. About_4 one per line, a blank line, About_5, a blank line and our own last line.
QString AboutText(LanguageTexts& texts);

} // namespace velmoro
