// Decoding of the 11MP values against hand-computed answers, grouped by width and format.
#include "CatalogReading.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

class Catalog11mpTest : public test::CatalogReading {
protected:
    Catalog11mpTest() : CatalogReading(ValueDispatcher11mp) {}
};

TEST_F(Catalog11mpTest, TemperaturesAndPressuresDecodeSignedAndUnsigned)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 3, "0028"), 1);
    EXPECT_EQ(row.valueText, "0");
    EXPECT_EQ(row.unitText, QString::fromUtf8("°C"));
    EXPECT_EQ(row.rawValue, 40);
    EXPECT_EQ(row.graphLevel, 0);

    EXPECT_EQ(Read(row, 3, "0000"), 1);
    EXPECT_EQ(row.valueText, "-40");
    EXPECT_EQ(row.graphLevel, -53); // -8000 / 150 truncates toward zero

    EXPECT_EQ(Read(row, 6, "00BE"), 1);
    EXPECT_EQ(row.valueText, "150");
    EXPECT_EQ(row.graphLevel, 200);

    EXPECT_EQ(Read(row, 23, "FF9C"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, "-100mbar");
    EXPECT_EQ(row.rawValue, -100);
    EXPECT_EQ(row.graphLevel, -18);

    EXPECT_EQ(Read(row, 22, "FF9C"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, "65436mbar");
    EXPECT_EQ(row.graphLevel, 65436 * 200 / 1100);

    EXPECT_EQ(Shown(24, "8000"), "-32768");
    EXPECT_EQ(Shown(27, "8000"), "32768mbar");
}

TEST_F(Catalog11mpTest, MillivoltsRoundHalfToEven)
{
    EXPECT_EQ(Shown(14, "0001"), "5mV");
    EXPECT_EQ(Shown(14, "03FF"), "4995mV"); // 4995.1171875
    EXPECT_EQ(Shown(15, "0040"), "312mV");  // 312.5 -> even
    EXPECT_EQ(Shown(16, "00C0"), "938mV");  // 937.5 -> even
    EXPECT_EQ(Shown(69, "0040"), "312mV");

    MeasurementRow row;
    Read(row, 8, "03FF");
    EXPECT_EQ(row.graphLevel, 4995 * 200 / 6000);
    EXPECT_EQ(row.rawValue, 1023);

    // Limp-home voltages have no diagram: the level of the previous value stays.
    row.graphLevel = 77;
    Read(row, 70, "03FF");
    EXPECT_EQ(row.valueText, "4995");
    EXPECT_EQ(row.graphLevel, 77);
}

TEST_F(Catalog11mpTest, FixedDecimalsGoThroughSinglePrecision)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 33, "01F4"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, "2.50ms");
    EXPECT_EQ(row.graphLevel, 100);

    // 501 / 200 is 2.505 in decimal but 2.5050001 as a float.
    EXPECT_EQ(Shown(34, "01F5"), "2.51ms");
    EXPECT_EQ(Shown(39, "8C"), "14.0V");
    EXPECT_EQ(Shown(40, "FF"), "25.5V");
    EXPECT_EQ(Shown(28, "0159"), QString::fromUtf8("34.5°"));
    EXPECT_EQ(Shown(18, "0007"), "0.7");
    EXPECT_EQ(Shown(55, "19"), "2.5%");
    EXPECT_EQ(Shown(106, "7918"), "3.100");  // 31000 / 10000
    EXPECT_EQ(Shown(67, "C350"), "1.250");   // 50000 / 40000
    EXPECT_EQ(Shown(45, "FFFF"), "6553.5%"); // no not-available test on this one

    // The diagram of fixed values takes the decoded number, not the shown one.
    Read(row, 29, "03E8");
    EXPECT_EQ(row.graphLevel, 200);
}

TEST_F(Catalog11mpTest, Bin8Chars3AndDistanceCounters)
{
    EXPECT_EQ(Shown(80, "81"), "10000001");
    EXPECT_EQ(Shown(94, "05"), "00000101");
    EXPECT_EQ(Shown(99, "00"), "00000000");
    EXPECT_EQ(Shown(83, "FF"), "255");

    MeasurementRow row;
    row.unitText = "mV";
    EXPECT_EQ(Read(row, 107, "414243"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, "ABC");
    EXPECT_EQ(row.rawValue, -1);

    EXPECT_EQ(Read(row, 112, "39300000"), 1); // 12345 m
    EXPECT_EQ(DisplayRow(row).valueText, "12.3km");
    EXPECT_EQ(row.rawValue, 12);
    EXPECT_EQ(DisplayRow(row).rawText, "0xC (12)");

    // The largest counter: 4294967.295 km is 4294967.5 in single precision.
    EXPECT_EQ(Read(row, 113, "FFFFFFFF"), 1);
    EXPECT_EQ(row.valueText, "4294967.5");
    EXPECT_EQ(row.rawValue, 4294967);
    EXPECT_EQ(DisplayRow(row).rawText, "0x8937 (4294967)");
}

TEST_F(Catalog11mpTest, EngineSpeedShowsZeroForNotAvailableAndSmoothsInStepsOf50)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 1, "FFFF"), 1);
    EXPECT_EQ(row.valueText, "0");
    EXPECT_EQ(row.rawValue, 65535);
    EXPECT_EQ(row.barVisible, 1);
    EXPECT_EQ(row.barMax, 10000);

    EXPECT_EQ(Read(row, 1, "0BB8"), 1);
    EXPECT_EQ(row.valueText, "3000");
    EXPECT_EQ(row.barValue, 3000);
    EXPECT_EQ(row.graphLevel, 60);
    EXPECT_FLOAT_EQ(smoothing, 0.0f); // index 1 leaves the smoothing alone

    const char* expected[] = {"700", "900", "950", "1000", "1000"};
    for (const char* text : expected) {
        EXPECT_EQ(Read(row, 2, "03E8"), 1);
        EXPECT_EQ(row.valueText, text);
        EXPECT_EQ(row.barValue, row.valueText.toInt());
    }
    EXPECT_NEAR(smoothing, 997.57f, 0.01f);

    // Two rows showing index 2 both feed the one state; 65535 counts as 0.
    MeasurementRow other;
    Read(row, 2, "FFFF");
    Read(other, 2, "FFFF");
    EXPECT_NEAR(smoothing, 997.57f * 0.09f, 0.01f);
    EXPECT_EQ(other.valueText, "100"); // 89.78 / 50 = 1.80 -> 2 steps
}

TEST_F(Catalog11mpTest, FailedReadsKeepUnitBarsAndLevels)
{
    MeasurementRow row;
    Read(row, 41, "000C");
    EXPECT_EQ(DisplayRow(row).valueText, "12mV");
    EXPECT_EQ(Read(row, 41, ""), 0);
    RowDisplay shown = DisplayRow(row);
    EXPECT_EQ(shown.valueText, "----mV");
    EXPECT_EQ(shown.rawText, "0xFFFF (-1)");
    EXPECT_FALSE(shown.barVisible);

    // Not available: the number stays visible in the raw field.
    EXPECT_EQ(Read(row, 41, "FFFF"), 0);
    EXPECT_EQ(row.valueText, "----");
    EXPECT_EQ(DisplayRow(row).rawText, "0xFFFF (65535)");

    // Bars set before the request stay visible with the last position.
    Read(row, 13, "01F4");
    EXPECT_EQ(DisplayRow(row).valueText, "50.0%");
    EXPECT_EQ(row.barValue, 500);
    EXPECT_EQ(Read(row, 13, ""), 0);
    shown = DisplayRow(row);
    EXPECT_TRUE(shown.barVisible);
    EXPECT_EQ(shown.barMax, 1000);
    EXPECT_EQ(shown.barValue, 500);
    EXPECT_EQ(shown.valueText, "----%");

    MeasurementRow seven;
    link.Fail(-1);
    seven.valueIndex = 7;
    EXPECT_EQ(ValueDispatcher11mp(ctx, seven), 0);
    EXPECT_EQ(seven.barVisible, 1);
    EXPECT_EQ(seven.barMax, 500);
    EXPECT_EQ(Read(seven, 7, "0123"), 1);
    EXPECT_EQ(seven.barValue, 0x123);
    EXPECT_EQ(DisplayRow(seven).valueText, QString::fromUtf8("291°"));

    // Index 50 counts as read whatever happened; its row still shows "----".
    MeasurementRow fifty;
    EXPECT_EQ(Read(fifty, 50, ""), 1);
    EXPECT_EQ(fifty.valueText, "----");
    EXPECT_EQ(Read(fifty, 50, "2A"), 1);
    EXPECT_EQ(fifty.valueText, "42");
}

TEST_F(Catalog11mpTest, UnknownIndicesSendNothingAndShortAnswersReuseTheBuffer)
{
    for (int index : {0, -3, 115, 400}) {
        MeasurementRow row;
        row.valueIndex = index;
        row.barVisible = 1;
        EXPECT_EQ(ValueDispatcher11mp(ctx, row), 0) << index;
        EXPECT_EQ(row.valueText, "----");
        EXPECT_EQ(row.barVisible, 0);
    }
    EXPECT_TRUE(link.Requests().isEmpty());

    // A one-byte answer is decoded with the second byte left over from the previous answer.
    MeasurementRow row;
    Read(row, 22, "1234");
    Read(row, 22, "00");
    EXPECT_EQ(row.rawValue, 0x0034);
}

} // namespace
} // namespace velmoro
