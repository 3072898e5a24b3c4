// A family's value dispatcher fed one scripted answer at a time, for the catalog tests.
#pragma once

#include "support/ScriptedLink.h"
#include "values/EnglishTexts.h"
#include "values/RowDisplay.h"
#include "values/ValueCatalog.h"

#include <gtest/gtest.h>

namespace velmoro::test {

class CatalogReading : public ::testing::Test {
protected:
    using Dispatcher = int (*)(ReaderContext& ctx, MeasurementRow& row);
    explicit CatalogReading(Dispatcher dispatcher) : dispatcher_(dispatcher) {}

    // Dispatches `index` on `row` with one scripted answer (hex data bytes, "" = no data).
    int Read(MeasurementRow& row, int index, const char* hex)
    {
        if (*hex == '\0') {
            link.Fail();
        } else {
            link.Queue(hex);
        }
        row.valueIndex = index;
        return dispatcher_(ctx, row);
    }
    // The value text as the row shows it, unit included.
    QString Shown(int index, const char* hex)
    {
        MeasurementRow row;
        Read(row, index, hex);
        return DisplayRow(row).valueText;
    }

    ScriptedLink link;
    LanguageTexts texts;
    float smoothing = 0.0f;
    ReaderContext ctx{link, texts, smoothing};

private:
    Dispatcher dispatcher_;
};

} // namespace velmoro::test
