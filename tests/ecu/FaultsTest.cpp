// Fault memory of both families: code texts, sorting into the two lists, clearing, failed reads.
#include "ecu/Faults.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

class FaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        texts.Set("Fault_1", "No actual faults");
        texts.Set("Fault_2", "No stored faults");
        texts.Set("Fault_3", "to high");
        texts.Set("Fault_4", "to low");
        texts.Set("Fault_5", "no signal");
        texts.Set("Fault_6", "invalid signal");
        texts.Set("P0105", "Cylinder air pressure sensor");
    }
    LanguageTexts texts;
    FaultLists lists;
    ScriptedLink link;
};

TEST(FaultCodeTextTest, LetterDigitAndTwelveBits)
{
    EXPECT_EQ(FaultCodeText(0x01, 0x05), "P0105");
    EXPECT_EQ(FaultCodeText(0xC1, 0x21), "U0121");
    EXPECT_EQ(FaultCodeText(0x41, 0x0A), "C010A");
    EXPECT_EQ(FaultCodeText(0xB6, 0x0C), "B360C");
    EXPECT_EQ(FaultCodeText(0x00, 0x00), "P0000");
}

TEST_F(FaultsTest, Miug4SortsRecordsAndMarksTheLamp)
{
    // Stored with lamp; current without lamp; status 0x40 only: hidden.
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 03 35 01 88 C1 21 02 01 01 10 00 40"));
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Stored(), QStringList{"P0335-01 LED on"});
    EXPECT_EQ(lists.Current(), QStringList{"U0121-02"});
    EXPECT_EQ(link.Requests(), QByteArrayList{Hex("19 02 AF")});
}

TEST_F(FaultsTest, Miug4DescriptionByWholeCodeThenBareCode)
{
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 01 05 1C 89"));
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Stored(), QStringList{"P0105-1C Cylinder air pressure sensor LED on"});
    EXPECT_TRUE(lists.Current().isEmpty());

    texts.Set("P0105-1C", "Exact entry");
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Stored(), QStringList{"P0105-1C Exact entry LED on"});

    // A code without any entry stays bare and creates no empty entries.
    const int size = texts.Size();
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 02 01 00 01"));
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"P0201-00"});
    EXPECT_EQ(texts.Size(), size);
}

TEST_F(FaultsTest, Miug4EmptyMemoryAndFailedReads)
{
    lists.AddCurrent("old current");
    lists.AddStored("old stored");

    // A negative answer, no answer and no link are three endings, each leaving the lists
    // unread: empty, but never "no faults".
    link.Answer(Hex("19 02 AF"), Hex("7F 19 31"));
    EXPECT_EQ(ReadFaultsMiug4(link, texts, lists), JobEnding::Refused);
    EXPECT_TRUE(lists.Unread());
    EXPECT_TRUE(lists.Current().isEmpty());
    EXPECT_TRUE(lists.Stored().isEmpty());
    link.Answer(Hex("19 02 AF"), {});
    EXPECT_EQ(ReadFaultsMiug4(link, texts, lists), JobEnding::NoAnswer);
    link.SetConnected(false);
    EXPECT_EQ(ReadFaultsMiug4(link, texts, lists), JobEnding::CutShort);
    EXPECT_EQ(ClearFaultsMiug4(link, texts, lists), JobEnding::CutShort);
    EXPECT_TRUE(lists.Unread());
    lists.Clear();
    EXPECT_FALSE(lists.Unread());

    // An answer with data but no complete record reports an empty memory.
    link.SetConnected(true);
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 00"));
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"No actual faults"});
    EXPECT_EQ(lists.Stored(), QStringList{"No stored faults"});
}

TEST_F(FaultsTest, Miug4IgnoresACountLeftByAnEarlierAnswer)
{
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 01 05 1C 89 02 01 00 01"));
    ReadFaultsMiug4(link, texts, lists);
    ASSERT_EQ(lists.Stored().size() + lists.Current().size(), 2);

    // One data byte without "59 02": DtcCount still says 2, but no record arrived.
    link.Answer(Hex("19 02 AF"), Hex("00 00 00 07"));
    ReadFaultsMiug4(link, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"No actual faults"});
}

TEST_F(FaultsTest, Miug4ClearSendsTheRequestThenReadsAgain)
{
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF 01 05 1C 09"));
    ReadFaultsMiug4(link, texts, lists);
    ASSERT_EQ(lists.Stored().size(), 1);

    // The ECU now reports no records: the re-read has no data, the old lines stay.
    link.Answer(Hex("19 02 AF"), Hex("59 02 FF"));
    link.ClearRequests();
    ClearFaultsMiug4(link, texts, lists);
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("14 FF FF FF"), Hex("19 02 AF")}));
    EXPECT_EQ(lists.Stored().size(), 1);
}

TEST_F(FaultsTest, ElevenMpStatusSuffixesAndLists)
{
    link.Answer(Hex("18 00 FF 00"),
                Hex("58 06 01 05 21 01 05 02 01 05 44 01 05 28 01 05 03 01 05 60"));
    ReadFaults11mp(link, texts, lists);
    EXPECT_EQ(lists.Stored(), (QStringList{"P0105 Cylinder air pressure sensor : to high",
                                           "P0105 Cylinder air pressure sensor : invalid signal",
                                           "P0105 Cylinder air pressure sensor"}));
    EXPECT_EQ(lists.Current(), (QStringList{"P0105 Cylinder air pressure sensor : to low",
                                            "P0105 Cylinder air pressure sensor : no signal",
                                            "P0105 Cylinder air pressure sensor"}));
}

TEST_F(FaultsTest, ElevenMpCountIsBoundedByTheBytesReceived)
{
    // Announces three records, carries one and a half.
    link.Answer(Hex("18 00 FF 00"), Hex("58 03 C1 21 01 02 01"));
    ReadFaults11mp(link, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"U0121 : to high"});
    EXPECT_TRUE(lists.Stored().isEmpty());

    // Announces none: the empty-memory texts.
    link.Answer(Hex("18 00 FF 00"), Hex("58 00 00 00"));
    ReadFaults11mp(link, texts, lists);
    EXPECT_EQ(lists.Current(), QStringList{"No actual faults"});
    EXPECT_EQ(lists.Stored(), QStringList{"No stored faults"});
}

TEST_F(FaultsTest, ElevenMpClearAndFailedReads)
{
    link.Answer(Hex("18 00 FF 00"), Hex("58 01 01 05 21"));
    ReadFaults11mp(link, texts, lists);
    ASSERT_EQ(lists.Stored().size(), 1);

    // Cleared memory answers 58 00: three bytes, no data, lists unchanged.
    link.Answer(Hex("18 00 FF 00"), Hex("58 00"));
    link.ClearRequests();
    ClearFaults11mp(link, texts, lists);
    EXPECT_EQ(link.Requests(), (QByteArrayList{Hex("14 FF 00"), Hex("18 00 FF 00")}));
    EXPECT_EQ(lists.Stored().size(), 1);

    // Data that is not a 58 answer is not decoded: the memory was not read.
    link.Answer(Hex("18 00 FF 00"), Hex("62 B0 00 01 05 21"));
    EXPECT_EQ(ReadFaults11mp(link, texts, lists), JobEnding::Refused);
    EXPECT_TRUE(lists.Unread());
    EXPECT_TRUE(lists.Stored().isEmpty());
}

} // namespace
} // namespace velmoro
