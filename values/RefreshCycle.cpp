// The refresh cycle as core logic: one measurement pass, the chooser refresh and the display
// step that turns a row into what its widgets show.
#include "values/RefreshCycle.h"

#include "ecu/CoreState.h"
#include "values/Formats.h"

namespace velmoro {

void RunRefreshPass(CoreState& state)
{
    for (int r = 0; r < kDisplayRows; ++r) {
        if (state.flags.stopFlag.load() != 0) {
            break;
        }
        MeasurementRow& row = state.rows[static_cast<std::size_t>(r)];
        if (row.valueIndex > 0) {
            row.valueText = QStringLiteral("----");
            if (state.ops.ValueDispatcher) {
                state.ops.ValueDispatcher(row);
            }
        } else {
            row.valueText.clear();
        }
    }
    if (state.ops.ReadEngineStatus && state.flags.stopFlag.load() == 0) {
        state.ops.ReadEngineStatus(state.rows[kEngineStatusRow]);
    }
}

void RefreshChoosers(CoreState& state, bool keepPositions,
                     const std::function<void()>& fillActorsList)
{
    if (!state.ops.BuildMeasurementList || !state.ops.FillValueChooser) {
        return;
    }
    state.ops.BuildMeasurementList();
    for (int r = 0; r < kDisplayRows; ++r) {
        const MeasurementRow& row = state.rows[static_cast<std::size_t>(r)];
        if (keepPositions) {
            state.ops.FillValueChooser(r, QString(), row.valueIndex);
        } else {
            state.ops.FillValueChooser(r, row.valueText, -1);
        }
    }
    if (fillActorsList) {
        fillActorsList();
    }
}

int ChooseValue(CoreState& state, int chooser, int entry)
{
    if (chooser < 0 || chooser >= kDisplayRows) {
        return 0;
    }
    ValueChooser& list = state.choosers[static_cast<std::size_t>(chooser)];
    MeasurementRow& row = state.rows[static_cast<std::size_t>(chooser)];
    if (entry < 0 || entry >= list.entries.size()) {
        return row.valueIndex;
    }
    list.selected = entry;
    row.valueIndex = list.entries[entry].itemData;
    return row.valueIndex;
}

RowDisplay DisplayRow(const MeasurementRow& row)
{
    RowDisplay display;
    display.valueText = row.valueText + row.unitText;
    display.rawText = RawValueText(row.rawValue);
    display.barVisible = row.barVisible != 0;
    display.barMin = row.barMin;
    display.barMax = row.barMax;
    display.barValue = row.barValue;
    return display;
}

} // namespace velmoro
