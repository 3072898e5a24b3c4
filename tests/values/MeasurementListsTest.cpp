// Both families' value names, and the filling of a value chooser.
#include "values/MeasurementLists.h"
#include "values/EnglishTexts.h"
#include "values/ValueCatalog.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

class MeasurementListsTest : public ::testing::Test {
protected:
    void SetUp() override { test::SetEnglishTexts(texts); }

    // Every "Unknown XX" entry must name the identifier its reader requests.
    static void ExpectUnknownNamesMatchIdentifiers(const QVector<QString>& names,
                                                   bool (*identifier)(int, std::uint8_t&,
                                                                      std::uint8_t&))
    {
        for (int i = 1; i < names.size(); ++i) {
            if (!names[i].startsWith("Unknown ")) {
                continue;
            }
            std::uint8_t hi = 0;
            std::uint8_t lo = 0;
            if (identifier(i, hi, lo)) {
                const QString hex = QString("%1").arg(lo, 2, 16, QChar('0')).toUpper();
                EXPECT_EQ(names[i], "Unknown " + hex) << i;
            }
        }
    }

    LanguageTexts texts;
    ValueChooser chooser;
    MeasurementRow row;
};

TEST_F(MeasurementListsTest, ElevenMpNamesOfferEntriesUpToIndex111)
{
    QVector<QString> names;
    BuildValueNames11mp(texts, names);
    ASSERT_EQ(names.size(), 116);
    EXPECT_EQ(names[0], "");
    EXPECT_EQ(names[1], "RPM");
    EXPECT_EQ(names[2], "RPM #");
    EXPECT_EQ(names[3], "Air temperature 1");
    EXPECT_EQ(names[7], "Unknown 35");
    EXPECT_EQ(names[10], "TGPS position C");
    EXPECT_EQ(names[21], "Advance ignition corr. 4");
    EXPECT_EQ(names[28], "Advance ignition");
    EXPECT_EQ(names[102], "Tractioncontrol -");
    EXPECT_EQ(names[107], "HW Version");
    EXPECT_EQ(names[111], "Unknown 9E");
    for (int i = 112; i < 116; ++i) {
        EXPECT_TRUE(names[i].isEmpty()) << i;
    }
    ExpectUnknownNamesMatchIdentifiers(names, ValueIdentifier11mp);

    FillValueChooser(chooser, row, names, kLastIndex11mp, "", -1);
    ASSERT_EQ(chooser.entries.size(), 112);
    for (int k = 0; k < chooser.entries.size(); ++k) {
        EXPECT_EQ(chooser.entries[k].itemData, k);
        EXPECT_FALSE(k > 0 && chooser.entries[k].text.isEmpty()) << k;
    }
    EXPECT_EQ(chooser.entries.last().text, "Unknown 9E");
}

TEST_F(MeasurementListsTest, Miug4NamesOfferAll87Entries)
{
    QVector<QString> names;
    BuildValueNamesMiug4(texts, names);
    ASSERT_EQ(names.size(), 87);
    EXPECT_EQ(names[2], "RPM #");
    EXPECT_EQ(names[3], "Intake pressure");
    EXPECT_EQ(names[13], "Voltage");
    EXPECT_EQ(names[39], "Status kill switch");
    EXPECT_EQ(names[47], "Lambda state right");
    EXPECT_EQ(names[48], "Unknown 3B");
    EXPECT_EQ(names[86], "Unknown 7F");
    ExpectUnknownNamesMatchIdentifiers(names, ValueIdentifierMiug4);

    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", -1);
    ASSERT_EQ(chooser.entries.size(), 87);
    EXPECT_EQ(chooser.entries[86].itemData, 86);
    EXPECT_EQ(chooser.SelectedText(), "");
}

TEST_F(MeasurementListsTest, ChooserSelectsByNameOrPositionAndLeavesUnknownNamesAlone)
{
    QVector<QString> names;
    BuildValueNames11mp(texts, names);
    FillValueChooser(chooser, row, names, kLastIndex11mp, "TGPS position C", -1);
    EXPECT_EQ(chooser.selected, 10);
    EXPECT_EQ(row.valueIndex, 10);

    BuildValueNamesMiug4(texts, names);
    FillValueChooser(chooser, row, names, kLastIndexMiug4, "Voltage", -1);
    EXPECT_EQ(chooser.selected, 13);
    EXPECT_EQ(row.valueIndex, 13);

    FillValueChooser(chooser, row, names, kLastIndexMiug4, "voltage", -1);
    EXPECT_EQ(chooser.selected, 0);
    EXPECT_EQ(row.valueIndex, 13); // no match leaves the row as it was

    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", 0);
    EXPECT_EQ(chooser.selected, 0);
    EXPECT_EQ(row.valueIndex, 0);

    row.valueIndex = 86;
    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", row.valueIndex);
    EXPECT_EQ(chooser.SelectedText(), "Unknown 7F");
    EXPECT_EQ(row.valueIndex, 86);

    // After a language change the texts change and the row keeps its index.
    texts.Set("Value_9", "Spannung");
    BuildValueNamesMiug4(texts, names);
    row.valueIndex = 13;
    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", row.valueIndex);
    EXPECT_EQ(chooser.SelectedText(), "Spannung");
    EXPECT_EQ(row.valueIndex, 13);
}

TEST_F(MeasurementListsTest, MissingLanguageKeysLeaveGapsWithoutMovingRows)
{
    texts.Set("Value_51", "");
    QVector<QString> names;
    BuildValueNamesMiug4(texts, names);
    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", 13);
    ASSERT_EQ(chooser.entries.size(), 86);
    EXPECT_EQ(chooser.SelectedText(), "Voltage");
    EXPECT_EQ(row.valueIndex, 13);
    EXPECT_EQ(chooser.entries[chooser.selected].itemData, 13);

    FillValueChooser(chooser, row, names, kLastIndexMiug4, "Frontspeed", -1);
    EXPECT_EQ(row.valueIndex, 14);
    EXPECT_EQ(chooser.selected, 13);

    // A position whose value is no longer offered selects nothing.
    FillValueChooser(chooser, row, names, kLastIndexMiug4, "", 12);
    EXPECT_EQ(chooser.selected, 0);
    EXPECT_EQ(row.valueIndex, 14);
}

} // namespace
} // namespace velmoro
