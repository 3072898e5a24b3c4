// The identification of both families and their ECU information texts.
#include "ecu/Identification.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::Hex;
using test::ScriptedLink;

QByteArray Padded(QByteArray text, int length)
{
    return text.leftJustified(length, ' ', true);
}

TEST(ConnectionTextTest, Miug4FullRecordAndVersion)
{
    QByteArray record;
    record += Padded("  ABC123  ", 11);           // A
    record += Padded("B1", 6) + Padded("B2", 5);  // B1 B2
    record += QByteArray(1, '\0');                // 22
    record += Padded("C1", 4) + Padded(" C2", 7); // C1 C2
    record += QByteArray(2, '\0');                // 34..35
    record += Padded("      ", 6);                // D: only spaces
    record += QByteArray(5, '\0');                // 42..46
    record += QByteArray("EEE\0junk", 8) + "xyz"; // E stops at the zero byte
    record += QByteArray(11, 'z');                // 58..68
    record += Hex("01 02 03 04");
    record += Hex("FF FF"); // beyond the record
    ASSERT_EQ(record.size(), 75);

    const EcuInfo info = EcuInfoMiug4("MIUG4", record, Hex("56 31 2E 30 00 41"));
    EXPECT_EQ(info.fields, (QStringList{"ABC123", "B1     B2", "C1    C2", "EEE"}));
    EXPECT_EQ(info.release, "0102.03.04");
    EXPECT_EQ(info.version, "V1.0");
    EXPECT_EQ(EcuInfoText(info), "IAW MIUG4\nABC123\nB1     B2\nC1    C2\nEEE\n0102.03.04\nV1.0");
    EXPECT_EQ(EcuInfoText(EcuInfoMiug4("MIUG4", record, std::nullopt)),
              "IAW MIUG4\nABC123\nB1     B2\nC1    C2\nEEE\n0102.03.04");
    // A version answer of zero bytes still makes its own, empty line.
    EXPECT_EQ(EcuInfoText(EcuInfoMiug4("MIUG4", record, Hex("00"))),
              "IAW MIUG4\nABC123\nB1     B2\nC1    C2\nEEE\n0102.03.04\n");
}

TEST(ConnectionTextTest, Miug4ShortIdentification)
{
    // 20 data bytes: field A and the start of B1; the rest reads as zero.
    const QByteArray id = "SW12345678 HW98765 9";
    ASSERT_EQ(id.size(), 20);
    EXPECT_EQ(EcuInfoText(EcuInfoMiug4("MIUG4", id, std::nullopt)),
              "IAW MIUG4\nSW12345678\nHW9876 5 9\n0000.00.00");
}

TEST(ConnectionTextTest, ElevenMpFieldsOnlyFromSixtySevenBytes)
{
    QByteArray id(67, ' ');
    id.replace(0, 5, "ABCDE");
    id.replace(11, 3, "XYZ");
    id.replace(35, 6, " 12 3 ");
    id.replace(52, 9, QByteArray("V\0VVVVVVV", 9));
    id.replace(61, 6, "  END ");
    EXPECT_EQ(EcuInfoText(EcuInfo11mp("11MP", "A1", id)), "IAW 11MP A1\nABCDE\nXYZ\n12 3\nV\nEND");
    EXPECT_EQ(EcuInfoText(EcuInfo11mp("11MP", "A1", id.left(66))), "IAW 11MP A1\n");
}

TEST(IdentificationTest, Miug4NeedsDataElevenMpAnyAnswer)
{
    LinkSettings settings;
    settings.ecuId = "MIUG4";
    ScriptedLink link;
    link.Answer(Hex("22 10 80"), Hex("7F 22 31"));
    EXPECT_FALSE(IdentifyMiug4(link, settings));
    EXPECT_EQ(link.Requests(), QByteArrayList{Hex("22 10 80")});

    settings.ecuId = "11MP";
    settings.ecuVariant = "B0";
    ScriptedLink silent;
    EXPECT_EQ(EcuInfoText(Identify11mp(silent, settings)), "IAW 11MP B0\n");
    EXPECT_EQ(silent.Requests(), QByteArrayList{Hex("22 B0")});
}

} // namespace
} // namespace velmoro
