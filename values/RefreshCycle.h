// The refresh cycle as core logic: one measurement pass, the chooser refresh and the display
// step that turns a row into what its widgets show.
#pragma once

#include "values/MeasurementRow.h"

#include <QString>
#include <functional>

namespace velmoro {

struct CoreState;

// One pass: rows 0..7 in order, leaving the loop as soon as stopFlag is set; a row with
// valueIndex > 0 gets "----" and then ValueDispatcher, an empty row gets the empty text. Then
// ReadEngineStatus into rows[kEngineStatusRow] when the family has it and stopFlag is clear.
// The caller posts EventRefreshDone afterwards.
void RunRefreshPass(CoreState& state);

// BuildMeasurementList, then FillValueChooser for rows 0..7: keepPositions uses each row's
// valueIndex, otherwise the name held in the row's valueText (the saved name at start-up).
// Last, fillActorsList (the GUI's FillActorsList) when given. Does nothing before the EcuOps
// table has been filled.
void RefreshChoosers(CoreState& state, bool keepPositions,
                     const std::function<void()>& fillActorsList = {});

// The user picked entry `entry` of chooser `chooser`: selects it and sets the row's valueIndex
// to its item data, which is returned (0 = the row is now empty).
int ChooseValue(CoreState& state, int chooser, int entry);

// What a row's widgets show after a pass.
struct RowDisplay {
    QString valueText; // valueText + unitText, no separator: "----mV"
    QString rawText;   // RawValueText(rawValue)
    bool barVisible = false;
    int barMin = 0;
    int barMax = 0;
    int barValue = 0;
};
RowDisplay DisplayRow(const MeasurementRow& row);

} // namespace velmoro
