// The display step: what a measurement row's widgets show after a pass.
#include "values/RowDisplay.h"

#include "values/Formats.h"

namespace velmoro {

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
