// The units of the measured values, looked up by the names a CSV value log's header carries.
#pragma once

#include <QHash>
#include <QString>

namespace velmoro {

class LanguageTexts;

// Value name (in the language of `texts`) -> unit ("°C", "mV", ...) for both families; names
// without a unit are left out. The log itself holds values without units, so a log written in
// the current language gets its units back this way.
QHash<QString, QString> ValueUnitsByName(LanguageTexts& texts);

// The same for the names of every language of the built-in settings file as well, so that a log
// written in one language shows its units in a window of another; where two languages share a
// name, the one of `texts` wins.
QHash<QString, QString> ValueUnitsOfAllLanguages(LanguageTexts& texts);

} // namespace velmoro
