// The value names of both families, and the filling of one value chooser.
#pragma once

#include "values/MeasurementRow.h"
#include "values/ValueChooser.h"

#include <QString>
#include <QVector>

namespace velmoro {

class LanguageTexts;

// Rebuild ValueNames from the current language: 11MP 116 entries (1..111 named, 112..115
// empty), MIUG4 87 entries (all of 1..86 named). Entry 0 is the empty text.
void BuildValueNames11mp(LanguageTexts& texts, QVector<QString>& names);
void BuildValueNamesMiug4(LanguageTexts& texts, QVector<QString>& names);

// Refills `chooser` with every non-empty name of 0..lastIndex (entry 0 always), item data =
// the index. position != -1 selects the entry whose item data equals `position` (the row's
// current valueIndex); position == -1 selects the entry whose name equals `name` exactly. A
// selection sets row.valueIndex to the entry's item data (equal to its entry number while every
// name is present). When nothing matched, entry 0 is selected and row.valueIndex is unchanged.
void FillValueChooser(ValueChooser& chooser, MeasurementRow& row, const QVector<QString>& names,
                      int lastIndex, const QString& name, int position);

} // namespace velmoro
