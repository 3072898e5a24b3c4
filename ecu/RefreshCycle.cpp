// The refresh cycle through the family table: one measurement pass, the chooser refresh and a
// user's choice.
#include "ecu/RefreshCycle.h"

#include "ecu/CoreState.h"

namespace velmoro {

void RunRefreshPass(const EcuOps& ops, const LinkFlags& flags, std::array<MeasurementRow, 9>& rows,
                    const std::function<void()>& beforeRow)
{
    for (int r = 0; r < kDisplayRows; ++r) {
        if (flags.stopFlag.load() != 0) {
            break;
        }
        if (beforeRow) {
            beforeRow();
        }
        MeasurementRow& row = rows[static_cast<std::size_t>(r)];
        if (row.valueIndex > 0) {
            row.valueText = QStringLiteral("----");
            if (ops.ValueDispatcher) {
                ops.ValueDispatcher(row);
            }
        } else {
            row.valueText.clear();
        }
    }
    if (ops.ReadEngineStatus && flags.stopFlag.load() == 0) {
        ops.ReadEngineStatus(rows[kEngineStatusRow]);
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

} // namespace velmoro
