// The about box.
#pragma once

#include <QString>

class QWidget;

namespace velmoro {

class LanguageTexts;

// About_1 .. About_4 one per line, a blank line, About_5, a blank line and our own last line.
QString AboutText(LanguageTexts& texts);

// Modal message box titled "VelmoroCanDiag V0.02" with AboutText, plain text.
void ShowAbout(LanguageTexts& texts, QWidget* parent);

} // namespace velmoro
