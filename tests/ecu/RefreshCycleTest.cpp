// One measurement pass, the chooser refresh, value picking and the display step of a row.
#include "ecu/RefreshCycle.h"
#include "ecu/CoreState.h"
#include "support/FamilyRig.h"
#include "support/ScriptedLink.h"
#include "values/EnglishTexts.h"
#include "values/MeasurementLists.h"
#include "values/ValueCatalog.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

// A family of MIUG4 over a scripted link, with a view's rows and choosers.
class RefreshCycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::SetEnglishTexts(state.texts);
        state.ecu = MakeEcuMiug4(Context());
    }
    EcuContext Context() { return ContextOf(state, link); }

    test::FamilyRig state;
    test::ScriptedLink link;
};

TEST_F(RefreshCycleTest, PassReadsChosenRowsInOrderThenTheEngineStatus)
{
    state.rows[0].valueIndex = 5;
    state.rows[1].valueText = "left over";
    state.rows[3].valueIndex = 13;
    state.rows[7].valueIndex = 86;
    link.Queue("005A");
    link.Queue("008C");
    link.Queue("00FF000000");
    RunRefreshPass(*state.ecu, state.flags, state.rows);

    ASSERT_EQ(link.Requests().size(), 3);
    EXPECT_EQ(link.Requests()[0], QByteArray::fromHex("221033"));
    EXPECT_EQ(link.Requests()[1], QByteArray::fromHex("22103C"));
    EXPECT_EQ(link.Requests()[2], QByteArray::fromHex("221074"));
    EXPECT_EQ(DisplayRow(state.rows[0]).valueText, QString::fromUtf8("50°C"));
    EXPECT_EQ(state.rows[1].valueText, "");
    EXPECT_EQ(DisplayRow(state.rows[3]).valueText, "14.0V");
    EXPECT_EQ(state.rows[7].valueText, "----");
    EXPECT_EQ(state.rows[kEngineStatusRow].valueText, QString("Engine on\n").repeated(8));

    // Without an engine status (11MP) and with every row empty nothing is sent.
    link.ClearRequests();
    state.ecu = MakeEcu11mp(Context());
    for (auto& row : state.rows) {
        row.valueIndex = 0;
    }
    RunRefreshPass(*state.ecu, state.flags, state.rows);
    EXPECT_TRUE(link.Requests().isEmpty());
    EXPECT_EQ(state.rows[0].valueText, "");
}

TEST_F(RefreshCycleTest, StopFlagEndsThePassBeforeTheNextRow)
{
    for (int r = 0; r < kDisplayRows; ++r) {
        state.rows[r].valueIndex = 12;
        state.rows[r].valueText = "old";
    }
    int requests = 0;
    link.responder = [&](const QByteArray&) {
        if (++requests == 2) {
            state.flags.stopFlag = 1;
        }
        return QByteArray::fromHex("0320");
    };
    RunRefreshPass(*state.ecu, state.flags, state.rows);
    EXPECT_EQ(link.Requests().size(), 2);
    EXPECT_EQ(state.rows[1].valueText, "800");
    EXPECT_EQ(state.rows[2].valueText, "old");
    EXPECT_EQ(state.rows[kEngineStatusRow].valueText, "");
}

TEST_F(RefreshCycleTest, ChoosersMatchSavedNamesOrKeepPositions)
{
    state.rows[0].valueText = "Voltage";
    state.rows[1].valueText = "RPM #";
    state.rows[2].valueText = "Not a value";
    state.rows[2].valueIndex = 0;
    state.Refresh(false);
    EXPECT_EQ(state.rows[0].valueIndex, 13);
    EXPECT_EQ(state.rows[1].valueIndex, 2);
    EXPECT_EQ(state.rows[2].valueIndex, 0);
    EXPECT_EQ(state.choosers[2].selected, 0);
    EXPECT_EQ(state.choosers[7].entries.size(), 87);

    // Other texts are another snapshot, and with it the family that names the values.
    state.texts.Set("Value_9", "Spannung");
    state.Choose();
    state.Refresh(true);
    EXPECT_EQ(state.rows[0].valueIndex, 13);
    EXPECT_EQ(state.choosers[0].SelectedText(), "Spannung");
    EXPECT_EQ(state.choosers[1].SelectedText(), "RPM #");

    EXPECT_EQ(ChooseValue(state, 4, 31), 31);
    EXPECT_EQ(state.rows[4].valueIndex, 31);
    EXPECT_EQ(state.choosers[4].selected, 31);
    EXPECT_EQ(ChooseValue(state, 4, 0), 0);
    EXPECT_EQ(ChooseValue(state, 4, 500), 0); // out of range changes nothing
}

TEST_F(RefreshCycleTest, DisplayStepShowsTextUnitRawAndBar)
{
    MeasurementRow row;
    row.valueText = "----";
    row.unitText = "mV";
    row.rawValue = -1;
    RowDisplay shown = DisplayRow(row);
    EXPECT_EQ(shown.valueText, "----mV");
    EXPECT_EQ(shown.rawText, "0xFFFF (-1)");
    EXPECT_FALSE(shown.barVisible);

    row.rawValue = 0;
    EXPECT_EQ(DisplayRow(row).rawText, "0x0 (0)");
    row.rawValue = 70000; // above 16 bits: low bits in hex, full decimal
    EXPECT_EQ(DisplayRow(row).rawText, "0x1170 (70000)");
    row.rawValue = 0xAB;
    EXPECT_EQ(DisplayRow(row).rawText, "0xAB (171)");

    row.barVisible = 1;
    row.barMin = 0;
    row.barMax = 500;
    row.barValue = 120;
    shown = DisplayRow(row);
    EXPECT_TRUE(shown.barVisible);
    EXPECT_EQ(shown.barMax, 500);
    EXPECT_EQ(shown.barValue, 120);
}

} // namespace
} // namespace velmoro
