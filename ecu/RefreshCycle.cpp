// The refresh cycle through the ECU family: one measurement pass, the chooser refresh and a
// user's choice.
#include "ecu/RefreshCycle.h"

#include "ecu/CoreState.h"
#include "values/MeasurementLists.h"

namespace velmoro {

PassResult RunRefreshPass(Ecu& ecu, const LinkFlags& flags, std::array<MeasurementRow, 9>& rows,
                          const std::function<void()>& beforeRow)
{
    PassResult result;
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
            ++result.read;
            if (ecu.readValue(row) == 1)
                ++result.answered;
        } else {
            row.valueText.clear();
        }
    }
    if (ecu.hasEngineStatus() && flags.stopFlag.load() == 0) {
        ecu.readEngineStatus(rows[kEngineStatusRow]);
    }
    return result;
}

void RefreshChoosers(CoreState& state, bool keepPositions,
                     const std::function<void()>& fillActorsList)
{
    if (!state.ecu) {
        return;
    }
    state.valueNames = state.ecu->valueNames();
    const int last = state.ecu->lastValueIndex();
    for (int r = 0; r < kDisplayRows; ++r) {
        const auto i = static_cast<std::size_t>(r);
        MeasurementRow& row = state.rows[i];
        if (keepPositions) {
            FillValueChooser(state.choosers[i], row, state.valueNames, last, QString(),
                             row.valueIndex);
        } else {
            FillValueChooser(state.choosers[i], row, state.valueNames, last, row.valueText, -1);
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
