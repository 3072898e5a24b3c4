// What the window shows about the link beyond the Parts' texts: that it is simulated, and the
// step that failed.
#pragma once

#include <QString>

class QLabel;

namespace velmoro {

class LanguageTexts;

// The window title; while a link to the simulator runs it says that the values are invented.
QString LinkWindowTitle(LanguageTexts& texts, const QString& port, bool linkActive);

// Status field 1 once connected: "Connected", or that the link is simulated.
QString ConnectedStatusText(LanguageTexts& texts, const QString& port);

// Shows a failed step in the status bar's log field: its first line as the text (the field cuts
// it short where it is too narrow), all of it as the tool tip. What the field showed
// before comes back with ClearLinkFailure, unless something else has been shown there meanwhile
// (the tool tip comes back in any case).
void ShowLinkFailure(QLabel* field, const QString& text);
void ClearLinkFailure(QLabel* field);

} // namespace velmoro
