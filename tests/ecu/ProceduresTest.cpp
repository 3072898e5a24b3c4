// Learning and reset procedures and the 11MP routine result.
#include "ecu/Procedures.h"
#include "ecu/Actuators.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

class ProceduresTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        texts.Set("View_49", "Reset autolearning parameters");
        texts.Set("View_59", "Handle self-learning");
        texts.Set("View_60", "Throttle self-learning");
        texts.Set("View_69", "Clear stored data");
        texts.Set("View_102", "Ok");
        texts.Set("View_103", "Error");
        ctx.link = &link;
        ctx.texts = &texts;
        ctx.wait = [this](int ms) {
            waits.push_back(ms);
            return waitSucceeds;
        };
    }
    ScriptedLink link;
    LanguageTexts texts;
    ProcedureContext ctx;
    ProcedureRecord record;
    std::vector<int> waits;
    bool waitSucceeds = true;
};

TEST_F(ProceduresTest, ResetAndClearSuccessConditions)
{
    link.Answer(Hex("2F 50 7E 01"), Hex("6F 50 7E 01 00"));
    ResetLearnedValues(ctx, FamilyMiug4, record);
    EXPECT_EQ(record.resultText, "Reset autolearning parameters: Ok");

    // One data byte too many is not "exactly 2".
    link.Answer(Hex("2F 50 7E 01"), Hex("6F 50 7E 01 00 00"));
    ResetLearnedValues(ctx, FamilyMiug4, record);
    EXPECT_EQ(record.resultText, "Reset autolearning parameters: Error");

    link.Answer(Hex("30 7E 04"), Hex("70 7E 04 00 00"));
    ResetLearnedValues(ctx, Family11mp, record);
    EXPECT_EQ(record.resultText, "Reset autolearning parameters: Ok");

    // MIUG4 clearing needs one data byte, 11MP exactly two.
    link.Answer(Hex("14 FF 24 FF"), Hex("54 FF 24 FF"));
    ClearStoredData(ctx, FamilyMiug4, record);
    EXPECT_EQ(record.resultText, "Clear stored data: Ok");
    link.Answer(Hex("14 FF 24"), Hex("54 FF 24 00"));
    ClearStoredData(ctx, Family11mp, record);
    EXPECT_EQ(record.resultText, "Clear stored data: Error");

    link.SetConnected(false);
    ClearStoredData(ctx, FamilyMiug4, record);
    EXPECT_EQ(record.resultText, "Clear stored data: Error");
}

TEST_F(ProceduresTest, ThrottleSelfLearningMiug4)
{
    link.Answer(Hex("31 01 02 21"), Hex("71 01 02 21"));
    link.AnswerInTurn(Hex("31 03 02 21"), {Hex("71 03 02 21 FF"), Hex("71 03 02 21 00")});

    ThrottleSelfLearningMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: Ok");
    EXPECT_EQ(waits, std::vector<int>{500});
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("31 01 02 21"), Hex("31 03 02 21")}));

    // Two data bytes, but the second is not FF.
    ThrottleSelfLearningMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: Error");
}

TEST_F(ProceduresTest, ThrottleSelfLearningStopsEarlyWithoutLinkOrWhenInterrupted)
{
    link.Answer(Hex("31 03 02 21"), Hex("71 03 02 21 FF"));

    waitSucceeds = false;
    ThrottleSelfLearningMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: Error");
    EXPECT_EQ(link.Requests(), QByteArrayList{Hex("31 01 02 21")});

    waitSucceeds = true;
    waits.clear();
    link.SetConnected(false);
    ThrottleSelfLearningMiug4(ctx, record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: Error");
    EXPECT_TRUE(waits.empty());
}

TEST_F(ProceduresTest, ElevenMpSelfLearningStartAndResult)
{
    record.routineId = 0x23; // left over from an earlier run
    record.pollsLeft = 0;
    StartSelfLearning11mp(ctx, 0x22, record); // no answer at all
    EXPECT_EQ(record.resultText, "Handle self-learning: ");
    EXPECT_EQ(record.routineId, 0x22);
    EXPECT_EQ(record.pollsLeft, 20);
    EXPECT_EQ(link.Requests(), QByteArrayList{Hex("31 22")});

    link.AnswerInTurn(Hex("33 22"), {Hex("7F 33 78"), Hex("73 22 00 01")});
    EXPECT_EQ(RoutineResult11mp(link, texts, record), 0);
    EXPECT_EQ(record.resultText, "Handle self-learning: Error");
    // A later successful poll is not appended to the earlier error.
    EXPECT_EQ(RoutineResult11mp(link, texts, record), 1);
    EXPECT_EQ(record.resultText, "Handle self-learning: Ok");

    StartSelfLearning11mp(ctx, 0x23, record);
    EXPECT_EQ(record.resultText, "Throttle self-learning: ");
    EXPECT_EQ(RoutineResult11mp(link, texts, record), 0);
    EXPECT_EQ(link.Requests().last(), Hex("33 23"));
}

TEST(FileTimeStampTest, TwentyFourHourDigits)
{
    EXPECT_EQ(FileTimeStamp(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9))), "20261207_140509");
}

} // namespace
} // namespace velmoro
