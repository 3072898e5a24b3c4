// Filling of the operations table: family choice by exact identifier and what each slot reaches.
#include "ecu/CoreState.h"
#include "values/EnglishTexts.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

class EcuOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::SetEnglishTexts(state.texts);
        state.onEcuOpsFilled = [this] { ++fills; };
    }
    void Fill(const char* ecuId)
    {
        state.link.ecuId = QString::fromLatin1(ecuId);
        FillEcuOps(state);
    }
    void ExpectCommonSlots()
    {
        EXPECT_TRUE(state.ops.FillValueChooser);
        EXPECT_TRUE(state.ops.BuildMeasurementList);
        EXPECT_TRUE(state.ops.ValueDispatcher);
        EXPECT_TRUE(state.ops.ClearFaults);
        EXPECT_TRUE(state.ops.ReadFaults);
        EXPECT_TRUE(state.ops.Connect);
        EXPECT_FALSE(state.ops.CoTrimOperation);
    }

    CoreState state;
    int fills = 0;
};

TEST_F(EcuOpsTest, IdentifierChoosesTheFamilyExactly)
{
    EXPECT_FALSE(state.ops.ClearFaults); // before any fill every slot is empty
    EXPECT_FALSE(state.ops.ValueDispatcher);
    state.ops.CoTrimOperation = [](int v) { return v; };

    Fill("11MP");
    EXPECT_EQ(state.link.family, Family11mp);
    ExpectCommonSlots();
    EXPECT_TRUE(state.ops.RoutineResult);
    EXPECT_FALSE(state.ops.ReadEngineStatus);

    Fill("MIUG4");
    EXPECT_EQ(state.link.family, FamilyMiug4);
    ExpectCommonSlots();
    EXPECT_TRUE(state.ops.ReadEngineStatus);
    EXPECT_FALSE(state.ops.RoutineResult);

    Fill("11MP");
    // Other case, the shipped "MP11" and an empty id keep the family and fill it again.
    for (const char* id : {"11mp", "miug4", "MP11", "", "MIUG4 "}) {
        SCOPED_TRACE(id);
        Fill(id);
        EXPECT_EQ(state.link.family, Family11mp);
        ExpectCommonSlots();
        EXPECT_TRUE(state.ops.RoutineResult);
        EXPECT_FALSE(state.ops.ReadEngineStatus);
    }
    EXPECT_EQ(fills, 8);

    CoreState fresh;
    fresh.link.ecuId = "MP11";
    FillEcuOps(fresh); // no callback set: nothing to call
    EXPECT_EQ(fresh.link.family, FamilyMiug4);
    EXPECT_TRUE(fresh.ops.ReadEngineStatus);
}

TEST_F(EcuOpsTest, ListsAndChoosersFollowTheFamily)
{
    Fill("MIUG4");
    state.ops.BuildMeasurementList();
    EXPECT_EQ(state.valueNamesMiug4[86], "Unknown 7F");
    ASSERT_EQ(state.actions.size(), 15);
    for (const ActionEntry& entry : state.actions) {
        SCOPED_TRACE(entry.position);
        EXPECT_EQ(static_cast<bool>(entry.switchActuator), entry.kind == KindSwitch);
        EXPECT_EQ(static_cast<bool>(entry.procedure), entry.kind != KindSwitch);
    }
    state.ops.FillValueChooser(3, "Voltage", -1);
    EXPECT_EQ(state.rows[3].valueIndex, 13);
    EXPECT_EQ(state.choosers[3].entries.size(), 87);
    state.ops.FillValueChooser(8, "Voltage", -1); // no such chooser: ignored
    state.ops.FillValueChooser(-1, "Voltage", -1);

    Fill("11MP");
    state.ops.BuildMeasurementList();
    EXPECT_EQ(state.valueNames11mp[10], "TGPS position C");
    ASSERT_EQ(state.actions.size(), 13);
    EXPECT_TRUE(state.actions[8].procedure); // self-learning
    EXPECT_TRUE(state.actions[0].switchActuator);
    state.ops.FillValueChooser(3, "TGPS position C", -1);
    EXPECT_EQ(state.rows[3].valueIndex, 10);
    EXPECT_EQ(state.choosers[3].entries.size(), 112);
}

TEST_F(EcuOpsTest, SlotsWithoutALinkFailLikeTheChannel)
{
    Fill("MIUG4");
    MeasurementRow row;
    row.valueIndex = 5;
    row.unitText = "mV";
    EXPECT_EQ(state.ops.ValueDispatcher(row), 0);
    EXPECT_EQ(row.valueText, "----");
    EXPECT_EQ(row.unitText, "mV");
    EXPECT_EQ(state.ops.ReadEngineStatus(state.rows[kEngineStatusRow]), 0);

    // Without a user-interface bridge the connect sequence does not run.
    state.ops.Connect();
}

} // namespace
} // namespace velmoro
