// Binding of both actuator tables: the on/off requests of every switchable actuator and which
// entries get a procedure.
#include "ecu/Actuators.h"
#include "ActionFixtures.h"
#include "support/ScriptedLink.h"

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
    ActionList actions = test::MakeActionList(family);
    BindActionProcedures(actions, ctx, family);

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
