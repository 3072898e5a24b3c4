// The display step: what a measurement row's widgets show after a pass.
#pragma once

#include "values/MeasurementRow.h"

#include <QString>

namespace velmoro {

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
