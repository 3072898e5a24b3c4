// The refresh cycle through the ECU family: one measurement pass, the chooser refresh and a
// user's choice.
#include "ecu/RefreshCycle.h"

#include "ecu/Ecu.h"
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

void RefreshChoosers(ValueChoices& view, const Ecu& ecu, bool keepPositions)
{
    view.valueNames = ecu.valueNames();
    const int last = ecu.lastValueIndex();
    for (int r = 0; r < kDisplayRows; ++r) {
        const auto i = static_cast<std::size_t>(r);
        MeasurementRow& row = view.rows[i];
        if (keepPositions) {
            FillValueChooser(view.choosers[i], row, view.valueNames, last, QString(),
                             row.valueIndex);
        } else {
            FillValueChooser(view.choosers[i], row, view.valueNames, last, row.valueText, -1);
        }
    }
}

int ChooseValue(ValueChoices& view, int chooser, int entry)
{
    if (chooser < 0 || chooser >= kDisplayRows) {
        return 0;
    }
    ValueChooser& list = view.choosers[static_cast<std::size_t>(chooser)];
    MeasurementRow& row = view.rows[static_cast<std::size_t>(chooser)];
    if (entry < 0 || entry >= list.entries.size()) {
        return row.valueIndex;
    }
    list.selected = entry;
    row.valueIndex = list.entries[entry].itemData;
    return row.valueIndex;
}

} // namespace velmoro
