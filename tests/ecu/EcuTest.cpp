// The choice of the ECU family by exact identifier, and what each family says it can do.
#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"
#include "support/FamilyRig.h"
#include "values/EnglishTexts.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

class EcuTest : public ::testing::Test {
protected:
    void SetUp() override { test::SetEnglishTexts(state.texts); }
    void Choose(const char* ecuId)
    {
        state.link.ecuId = QString::fromLatin1(ecuId);
        state.Choose();
        ASSERT_TRUE(state.ecu);
        EXPECT_TRUE(state.ecu->hasStoredFaults());
        EXPECT_FALSE(state.ecu->hasCoTrim());
    }
    void Expect11mp()
    {
        EXPECT_EQ(state.link.family, Family11mp);
        EXPECT_EQ(state.ecu->family(), Family11mp);
        EXPECT_TRUE(state.ecu->hasRoutineResult());
        EXPECT_FALSE(state.ecu->hasEngineStatus());
    }

    test::FamilyRig state;
};

TEST_F(EcuTest, IdentifierChoosesTheFamilyExactly)
{
    EXPECT_FALSE(state.ecu); // nothing chosen before a model

    Choose("11MP");
    Expect11mp();

    Choose("MIUG4");
    EXPECT_EQ(state.link.family, FamilyMiug4);
    EXPECT_EQ(state.ecu->family(), FamilyMiug4);
    EXPECT_TRUE(state.ecu->hasEngineStatus());
    EXPECT_FALSE(state.ecu->hasRoutineResult());

    Choose("11MP");
    // Other case, the shipped "MP11" and an empty id keep the family and choose it again.
    for (const char* id : {"11mp", "miug4", "MP11", "", "MIUG4 "}) {
        SCOPED_TRACE(id);
        Choose(id);
        Expect11mp();
    }

    test::FamilyRig fresh;
    fresh.link.ecuId = "MP11";
    fresh.Choose();
    EXPECT_EQ(fresh.link.family, FamilyMiug4);
    ASSERT_TRUE(fresh.ecu);
    EXPECT_TRUE(fresh.ecu->hasEngineStatus());
}

TEST_F(EcuTest, ListsAndChoosersFollowTheFamily)
{
    Choose("MIUG4");
    state.rows[3].valueText = "Voltage";
    state.Refresh(false);
    EXPECT_EQ(state.valueNames[86], "Unknown 7F");
    const ActionList miug4 = state.ecu->actions();
    ASSERT_EQ(miug4.size(), 15);
    for (const ActionEntry& entry : miug4) {
        SCOPED_TRACE(entry.position);
        EXPECT_EQ(static_cast<bool>(entry.switchActuator), entry.kind == KindSwitch);
        EXPECT_EQ(static_cast<bool>(entry.procedure), entry.kind != KindSwitch);
    }
    EXPECT_EQ(state.rows[3].valueIndex, 13);
    EXPECT_EQ(state.choosers[3].entries.size(), 87);

    Choose("11MP");
    state.rows[3].valueText = "TGPS position C";
    state.Refresh(false);
    EXPECT_EQ(state.valueNames[10], "TGPS position C");
    const ActionList elevenMp = state.ecu->actions();
    ASSERT_EQ(elevenMp.size(), 13);
    EXPECT_TRUE(elevenMp[8].procedure); // self-learning
    EXPECT_TRUE(elevenMp[0].switchActuator);
    EXPECT_EQ(state.rows[3].valueIndex, 10);
    EXPECT_EQ(state.choosers[3].entries.size(), 112);
}

TEST_F(EcuTest, OperationsWithoutALinkFailLikeTheChannel)
{
    Choose("MIUG4");
    MeasurementRow row;
    row.valueIndex = 5;
    row.unitText = "mV";
    EXPECT_EQ(state.ecu->readValue(row), 0);
    EXPECT_EQ(row.valueText, "----");
    EXPECT_EQ(row.unitText, "mV");
    EXPECT_EQ(state.ecu->readEngineStatus(state.rows[kEngineStatusRow]), 0);
    ProcedureRecord record;
    EXPECT_EQ(state.ecu->routineResult(record), 0);

    // MIUG4 is not identified without an answer.
    EXPECT_FALSE(state.ecu->identify());
}

} // namespace
} // namespace velmoro
