// Loading the settings into the configuration at start-up, first start and saved choices.
#include "ecu/StateSetup.h"
#include "ecu/CoreState.h"
#include "ecu/RefreshCycle.h"
#include "support/FamilyRig.h"
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
    }
    void WriteSettings(const QByteArray& content)
    {
        QFile file(state.paths.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir;
    test::FamilyRig state;
};

TEST_F(StateSetupTest, FirstStartPresetsFourRowsAndFillsNoFamily)
{
    const SettingsReadResult result = LoadSettings(state, state);
    EXPECT_TRUE(result.firstStart);
    EXPECT_TRUE(state.firstStart);
    EXPECT_TRUE(QFile::exists(state.paths.SettingsFile()));
    const int expected[] = {9, 7, 4, 5, 0, 0, 0, 0};
    for (int r = 0; r < kDisplayRows; ++r) {
        EXPECT_EQ(state.rows[r].valueIndex, expected[r]) << r;
        EXPECT_EQ(state.rows[r].valueText, "") << r;
    }
    EXPECT_TRUE(state.link.ecuId.isEmpty());

    // The second start reads the written file: no presets any more.
    test::FamilyRig again;
    again.paths = state.paths;
    EXPECT_FALSE(LoadSettings(again, again).firstStart);
    EXPECT_EQ(again.rows[0].valueIndex, 0);
}

TEST_F(StateSetupTest, SavedModelFillsTheTableAndSavedNamesSelectTheirValues)
{
    WriteSettings("[Settings]\r\nModell = Bike\r\nValue1 = Voltage\r\nValue3 = RPM #\r\n"
                  "Value4 = Gone value\r\n[Modells]\r\nBike = 11MP,first\r\nOther = MIUG4\r\n"
                  "Bike = MIUG4,second\r\n");
    const SettingsReadResult result = LoadSettings(state, state);
    EXPECT_FALSE(state.firstStart);
    ASSERT_EQ(result.matchingModels.size(), 2);
    // The last matching entry wins.
    EXPECT_EQ(state.link.ecuId, "MIUG4");
    EXPECT_EQ(state.link.ecuVariant, "second");
    EXPECT_EQ(state.link.family, FamilyMiug4);
    state.Choose();
    EXPECT_EQ(state.ecu->family(), FamilyMiug4);
    EXPECT_EQ(state.rows[0].valueText, "Voltage");
    EXPECT_EQ(state.rows[2].valueText, "RPM #");

    state.Refresh(false);
    EXPECT_EQ(state.rows[0].valueIndex, 13);
    EXPECT_EQ(state.rows[2].valueIndex, 2);
    EXPECT_EQ(state.rows[3].valueIndex, 0);
    EXPECT_EQ(state.choosers[3].selected, 0);
    EXPECT_EQ(state.choosers[1].SelectedText(), "");
}

} // namespace
} // namespace velmoro
