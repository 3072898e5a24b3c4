// Binding of both actuator tables: the on/off requests of every switchable actuator and which
// entries get a procedure.
#include "ecu/Actuators.h"
#include "support/ScriptedLink.h"
#include "values/EnglishTexts.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

struct Expected {
    int position;
    const char* on;
    const char* off;
};

void ExpectSwitchRequests(int family, const std::vector<Expected>& table)
{
    ScriptedLink link;
    LanguageTexts texts;
    ProcedureContext ctx;
    ctx.link = &link;
    ctx.texts = &texts;
    ActionList actions = BuildActions(family, texts, ctx);

    int switches = 0;
    for (const ActionEntry& entry : actions) {
        if (entry.kind == KindSwitch) {
            ++switches;
            ASSERT_TRUE(entry.switchActuator) << entry.position;
            EXPECT_FALSE(entry.procedure) << entry.position;
        } else {
            EXPECT_TRUE(entry.procedure) << entry.position;
            EXPECT_FALSE(entry.switchActuator) << entry.position;
        }
    }
    ASSERT_EQ(switches, static_cast<int>(table.size()));

    for (const Expected& row : table) {
        link.ClearRequests();
        const ActionEntry& entry = actions[row.position];
        entry.switchActuator(1);
        entry.switchActuator(0);
        EXPECT_EQ(link.Requests(), (QByteArrayList{Hex(row.on), Hex(row.off)}))
            << "position " << row.position;
    }
}

TEST(ActuatorsTest, ListsHaveTheirEntriesKindsAndGroups)
{
    LanguageTexts texts;
    test::SetEnglishTexts(texts);
    ProcedureContext ctx;
    ActionList actions = BuildActions(Family11mp, texts, ctx);
    ASSERT_EQ(actions.size(), 13);
    EXPECT_EQ(actions[1].text, "Ignition L 1");
    EXPECT_EQ(actions[2].text, "Ignition L 2");
    EXPECT_EQ(actions[4].text, "Ignition R 2");
    EXPECT_EQ(actions[4].key, "View_44");
    EXPECT_EQ(actions[8].text, "Handle self-learning");
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i].position, i);
        EXPECT_EQ(actions[i].group, 1);
        EXPECT_EQ(actions[i].kind, i < 8    ? KindSwitch
                                   : i < 10 ? KindSelfLearning
                                            : KindProcedure)
            << i;
    }
    EXPECT_EQ(actions[12].key, "View_69");

    actions = BuildActions(FamilyMiug4, texts, ctx);
    ASSERT_EQ(actions.size(), 15);
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i].position, i);
        EXPECT_EQ(actions[i].group, i == 14 ? 0 : 1) << i;
        EXPECT_EQ(actions[i].kind, i >= 10 && i <= 13 ? KindProcedure : KindSwitch) << i;
    }
    EXPECT_EQ(actions[1].text, "Ignition L");
    EXPECT_EQ(actions[10].key, "View_60");
    EXPECT_EQ(actions[14].text, "Stepper (idle control)");
}

TEST(ActuatorsTest, Miug4SwitchRequests)
{
    ExpectSwitchRequests(FamilyMiug4, {
                                          {0, "2F 50 79 03", "2F 50 79 00"},
                                          {1, "2F 50 77 03", "2F 50 77 00"},
                                          {2, "2F 50 03 03 64", "2F 50 03 00"},
                                          {3, "2F 50 78 03", "2F 50 78 00"},
                                          {4, "2F 50 09 03 64", "2F 50 09 00"},
                                          {5, "2F 50 06 03 64", "2F 50 06 00"},
                                          {6, "2F 50 7B 03", "2F 50 7B 00"},
                                          {7, "2F 50 0F 03 64", "2F 50 0F 00"},
                                          {8, "2F 50 11 03 64", "2F 50 11 00"},
                                          {9, "2F 50 0C 03 64", "2F 50 0C 00"},
                                          {14, "2F 50 04 03", "2F 50 04 00"},
                                      });
}

TEST(ActuatorsTest, ElevenMpSwitchRequests)
{
    ExpectSwitchRequests(Family11mp, {
                                         {0, "30 05 07", "30 05 00"},
                                         {1, "30 02 07", "30 02 00"},
                                         {2, "30 22 07", "30 22 00"},
                                         {3, "30 03 07", "30 03 00"},
                                         {4, "30 23 07", "30 23 00"},
                                         {5, "30 08 07", "30 08 00"},
                                         {6, "30 09 07", "30 09 00"},
                                         {7, "30 06 07", "30 06 00"},
                                     });
}

} // namespace
} // namespace velmoro
