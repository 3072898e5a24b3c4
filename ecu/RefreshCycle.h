// The refresh cycle through the ECU family: one measurement pass, the chooser refresh and a
// user's choice.
#pragma once

#include "values/MeasurementRow.h"
#include "values/RowDisplay.h"
#include "values/ValueChooser.h"

#include <QString>
#include <QVector>
#include <array>
#include <functional>

namespace velmoro {

class Ecu;
struct LinkFlags;

// One pass: rows 0..7 in order, leaving the loop as soon as stopFlag is set; before each row
// beforeRow (when given) may change what the rows read; a row with valueIndex > 0 gets "----" and
// then the family's reading, an empty row gets the empty text. Then the engine status into
// rows[kEngineStatusRow] when the family has it and stopFlag is clear.
// How many chosen rows a pass read, and how many of them from a valid answer.
struct PassResult {
    int read = 0;
    int answered = 0;
};

PassResult RunRefreshPass(Ecu& ecu, const LinkFlags& flags, std::array<MeasurementRow, 9>& rows,
                          const std::function<void()>& beforeRow = {});

// What a view shows of the values, owned by the view (the window, the terminal): rows 0..7
// displayed and kEngineStatusRow the engine status work record, the chosen family's value names
// by dispatcher index as the choosers were last filled, and the eight choosers. The session
// learns a choice through chooseValue().
struct ValueChoices {
    std::array<MeasurementRow, 9> rows;
    QVector<QString> valueNames;
    std::array<ValueChooser, 8> choosers;
};

// Rebuilds the family's value names in the current language, then fills the choosers of rows
// 0..7: keepPositions uses each row's valueIndex, otherwise the name held in the row's valueText
// (the saved name at start-up).
void RefreshChoosers(ValueChoices& view, const Ecu& ecu, bool keepPositions);

// The user picked entry `entry` of chooser `chooser`: selects it and sets the row's valueIndex
// to its item data, which is returned (0 = the row is now empty).
int ChooseValue(ValueChoices& view, int chooser, int entry);

} // namespace velmoro
