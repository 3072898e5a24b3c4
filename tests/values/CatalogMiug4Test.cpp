// Decoding of the MIUG4 values and the engine status block against hand-computed answers.
#include "CatalogReading.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

class CatalogMiug4Test : public test::CatalogReading {
protected:
    CatalogMiug4Test() : CatalogReading(ValueDispatcherMiug4) {}
    void SetUp() override { test::SetEnglishTexts(texts); }
};

TEST_F(CatalogMiug4Test, TemperaturesTestTheirOwnMarkers)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 5, "005A"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, QString::fromUtf8("50°C"));
    EXPECT_EQ(row.graphLevel, 66);

    EXPECT_EQ(Read(row, 5, "00FF"), 0);
    EXPECT_EQ(row.valueText, "----");
    EXPECT_EQ(row.rawValue, 255);
    EXPECT_EQ(Read(row, 4, "0000"), 1);
    EXPECT_EQ(row.valueText, "-40");
    EXPECT_EQ(row.graphLevel, -53);

    // The unnamed temperatures test 65535 instead, so 255 is a valid 215 °C there.
    EXPECT_EQ(Shown(72, "00FF"), QString::fromUtf8("215°C"));
    EXPECT_EQ(Read(row, 74, "FFFF"), 0);
    EXPECT_EQ(row.rawValue, 65535);
    // ... and 65535 on index 4 is an ordinary (absurd) reading.
    EXPECT_EQ(Shown(4, "FFFF"), QString::fromUtf8("65495°C"));
}

TEST_F(CatalogMiug4Test, EngineSpeedAndItsSmoothing)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 1, "FFFF"), 1);
    EXPECT_EQ(row.valueText, "0");
    EXPECT_EQ(row.rawValue, 65535);
    EXPECT_EQ(row.barVisible, 1);

    const char* expected[] = {"700", "900", "950", "1000", "1000"};
    for (const char* text : expected) {
        EXPECT_EQ(Read(row, 2, "03E8"), 1);
        EXPECT_EQ(row.valueText, text);
        EXPECT_EQ(row.barValue, row.valueText.toInt());
        EXPECT_EQ(row.graphLevel, row.valueText.toInt() * 200 / 10000);
    }
    EXPECT_EQ(row.unitText, "");
}

TEST_F(CatalogMiug4Test, ScaledValuesWithDiagramAndBars)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 13, "008C"), 1);
    EXPECT_EQ(DisplayRow(row).valueText, "14.0V");
    EXPECT_EQ(row.graphLevel, 175);

    EXPECT_EQ(Shown(18, "FF9C"), "-10.00%");
    EXPECT_EQ(Shown(21, "0005"), "0.50%");
    EXPECT_EQ(Shown(16, "FF9C"), "-100mV");
    EXPECT_EQ(Shown(10, "01F4"), "1.00ms");
    EXPECT_EQ(Shown(23, "0019"), QString::fromUtf8("2.50°"));
    EXPECT_EQ(Shown(49, "FF"), "-1");
    EXPECT_EQ(Shown(48, "FF"), "255");

    // Advance right scales the diagram by 10 raw units: 2.5° is far beyond the band.
    Read(row, 8, "0019");
    EXPECT_EQ(row.graphLevel, 500);
    Read(row, 3, "0226");
    EXPECT_EQ(row.graphLevel, 100);

    // Throttle: bar 0..10000 at v*10; programmed advance: bar 0..500 at v.
    MeasurementRow throttle;
    EXPECT_EQ(Read(throttle, 6, "01F4"), 1);
    EXPECT_EQ(DisplayRow(throttle).valueText, QString::fromUtf8("50.0°"));
    EXPECT_EQ(throttle.barValue, 5000);
    EXPECT_EQ(throttle.barMax, 10000);
    EXPECT_EQ(throttle.graphLevel, 100);
    EXPECT_EQ(Read(throttle, 6, ""), 0);
    EXPECT_EQ(throttle.barVisible, 1);
    EXPECT_EQ(throttle.barValue, 5000);
    EXPECT_EQ(DisplayRow(throttle).valueText, QString::fromUtf8("----°"));

    MeasurementRow advance;
    EXPECT_EQ(Read(advance, 7, "FFFF"), 0);
    EXPECT_EQ(advance.barVisible, 1);
    EXPECT_EQ(advance.barMax, 500);
    EXPECT_EQ(Read(advance, 7, "0064"), 1);
    EXPECT_EQ(advance.valueText, "10.00");
    EXPECT_EQ(advance.barValue, 100);
    EXPECT_EQ(advance.graphLevel, 22);

    // Other rows hide the bar again.
    EXPECT_EQ(Read(advance, 12, "0320"), 1);
    EXPECT_EQ(advance.barVisible, 0);
    EXPECT_EQ(DisplayRow(advance).valueText, "800");
}

TEST_F(CatalogMiug4Test, StatusTextsFollowTheDisplayMode)
{
    EXPECT_EQ(Shown(31, "05"), "00000101");
    EXPECT_EQ(Shown(32, "0005"), "Idle");
    EXPECT_EQ(Shown(32, "0000"), "Undetermined");
    EXPECT_EQ(Shown(32, "0002"), "Stabil");
    EXPECT_EQ(Shown(32, "0003"), "3");
    EXPECT_EQ(Shown(32, "0105"), "261");

    EXPECT_EQ(Shown(45, "02"), "not active"); // right side looks at bit 2 first
    EXPECT_EQ(Shown(44, "02"), "rich");
    EXPECT_EQ(Shown(45, "06"), "rich");
    EXPECT_EQ(Shown(45, "04"), "lean");
    EXPECT_EQ(Shown(44, "04"), "lean");
    EXPECT_EQ(Shown(46, "04"), "active");
    EXPECT_EQ(Shown(47, "02"), "not active");
    EXPECT_EQ(Shown(42, "02"), "Closed loop");
    EXPECT_EQ(Shown(43, "FD"), "Open loop");
    EXPECT_EQ(Shown(29, "02"), "00000010");
    EXPECT_EQ(Shown(30, "06"), "00000110");

    // The dispatcher rewrites displayMode, so a row switched from 42 to 27 shows the number.
    MeasurementRow row;
    row.unitText = "mV";
    Read(row, 42, "02");
    EXPECT_EQ(row.displayMode, 2);
    EXPECT_EQ(row.unitText, "");
    EXPECT_EQ(row.rawValue, 2);
    Read(row, 27, "02");
    EXPECT_EQ(row.displayMode, 0);
    EXPECT_EQ(row.valueText, "2");
}

TEST_F(CatalogMiug4Test, U32TopBitMarkerAndTheReaderlessIndex)
{
    MeasurementRow row;
    EXPECT_EQ(Read(row, 80, "80000000"), 0);
    EXPECT_EQ(row.rawValue, -1);
    EXPECT_EQ(Read(row, 80, "00FFFFFF"), 0);
    EXPECT_EQ(row.rawValue, 16777215);
    EXPECT_EQ(Read(row, 80, "7FFFFFFF"), 1);
    EXPECT_EQ(row.valueText, "2147483647");
    EXPECT_EQ(DisplayRow(row).rawText, "0xFFFF (2147483647)");

    link.ClearRequests();
    for (int index : {86, 0, 87}) {
        row.valueIndex = index;
        EXPECT_EQ(ValueDispatcherMiug4(ctx, row), 0);
        EXPECT_EQ(row.valueText, "----");
    }
    EXPECT_TRUE(link.Requests().isEmpty());
}

TEST_F(CatalogMiug4Test, EngineStatusBlockHasOneLinePerBitOfD1)
{
    MeasurementRow status;
    link.Queue("000100000A");
    EXPECT_EQ(ReadEngineStatusMiug4(link, texts, status), 1);
    EXPECT_EQ(link.Requests().last(), QByteArray::fromHex("221074"));
    QString expected = "Engine on\n";
    for (int i = 0; i < 7; ++i) {
        expected += "Engine off (0A)\n";
    }
    EXPECT_EQ(status.valueText, expected);

    link.Queue("00FF0000AB");
    EXPECT_EQ(ReadEngineStatusMiug4(link, texts, status), 1);
    EXPECT_EQ(status.valueText, QString("Engine on\n").repeated(8));

    link.Queue("0082000000");
    EXPECT_EQ(ReadEngineStatusMiug4(link, texts, status), 1);
    EXPECT_EQ(status.valueText, "Engine off (00)\nEngine on\nEngine off (00)\nEngine off (00)\n"
                                "Engine off (00)\nEngine off (00)\nEngine off (00)\nEngine on\n");

    const QString before = status.valueText;
    status.rawValue = 5;
    link.Fail(-1);
    EXPECT_EQ(ReadEngineStatusMiug4(link, texts, status), 0);
    EXPECT_EQ(status.valueText, before);
    EXPECT_EQ(status.rawValue, 5);
}

} // namespace
} // namespace velmoro
