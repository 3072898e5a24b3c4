// Loading the settings into the core state at start-up, first start and saved choices.
#include "ecu/StateSetup.h"
#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"
#include "values/EnglishTexts.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

class StateSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.paths.directory = dir.path() + "/";
        state.paths.baseName = "VelmoroCanDiag";
        test::SetEnglishTexts(state.texts);
        state.onEcuChosen = [this] { ++fills; };
    }
    void WriteSettings(const QByteArray& content)
    {
        QFile file(state.paths.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir;
    CoreState state;
    int fills = 0;
};

TEST_F(StateSetupTest, FirstStartPresetsFourRowsAndFillsNoFamily)
{
    const SettingsReadResult result = LoadSettings(state);
    EXPECT_TRUE(result.firstStart);
    EXPECT_TRUE(state.firstStart);
    EXPECT_TRUE(QFile::exists(state.paths.SettingsFile()));
    const int expected[] = {9, 7, 4, 5, 0, 0, 0, 0};
    for (int r = 0; r < kDisplayRows; ++r) {
        EXPECT_EQ(state.rows[r].valueIndex, expected[r]) << r;
        EXPECT_EQ(state.rows[r].valueText, "") << r;
    }
    EXPECT_EQ(fills, 0);
    EXPECT_FALSE(state.ecu);

    // The second start reads the written file: no presets any more.
    CoreState again;
    again.paths = state.paths;
    EXPECT_FALSE(LoadSettings(again).firstStart);
    EXPECT_EQ(again.rows[0].valueIndex, 0);
}

TEST_F(StateSetupTest, SavedModelFillsTheTableAndSavedNamesSelectTheirValues)
{
    WriteSettings("[Settings]\r\nModell = Bike\r\nValue1 = Voltage\r\nValue3 = RPM #\r\n"
                  "Value4 = Gone value\r\n[Modells]\r\nBike = 11MP,first\r\nOther = MIUG4\r\n"
                  "Bike = MIUG4,second\r\n");
    const SettingsReadResult result = LoadSettings(state);
    EXPECT_FALSE(state.firstStart);
    ASSERT_EQ(result.matchingModels.size(), 2);
    EXPECT_EQ(fills, 2); // once per matching entry, the last one wins
    EXPECT_EQ(state.link.ecuId, "MIUG4");
    EXPECT_EQ(state.link.ecuVariant, "second");
    EXPECT_EQ(state.link.family, FamilyMiug4);
    ASSERT_TRUE(state.ecu);
    EXPECT_EQ(state.ecu->family(), FamilyMiug4);
    EXPECT_EQ(state.rows[0].valueText, "Voltage");
    EXPECT_EQ(state.rows[2].valueText, "RPM #");

    RefreshChoosers(state, false);
    EXPECT_EQ(state.rows[0].valueIndex, 13);
    EXPECT_EQ(state.rows[2].valueIndex, 2);
    EXPECT_EQ(state.rows[3].valueIndex, 0);
    EXPECT_EQ(state.choosers[3].selected, 0);
    EXPECT_EQ(state.choosers[1].SelectedText(), "");
}

} // namespace
} // namespace velmoro
