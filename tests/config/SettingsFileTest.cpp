// Tests of reading the settings file, the first start from the built-in default and the exit save.
#include "config/IniFile.h"
#include "config/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmoro;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        paths_.directory = dir_.path() + QLatin1Char('/');
        paths_.baseName = QStringLiteral("VelmoroCanDiag");
    }

    void WriteFile(const QByteArray& bytes)
    {
        QFile file(paths_.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray FileBytes() const
    {
        QFile file(paths_.SettingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    SettingsReadResult Read() { return ReadSettingsFile(paths_, settings_, link_, models_); }

    QTemporaryDir dir_;
    ProgramPaths paths_;
    Settings settings_;
    LinkSettings link_;
    ModelList models_;
};

} // namespace

TEST_F(SettingsFileTest, FirstStartWritesTheDefaultFileByteForByte)
{
    const SettingsReadResult result = Read();
    EXPECT_TRUE(result.firstStart);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(FileBytes(), DefaultSettingsFile());

    const QByteArray head = "\xEF\xBB\xBF[Settings]\r\nWindowX = 0\r\nWindowY = 0\r\n"
                            "WindowFactor = 1.0\r\nPort =\r\nModell =\r\nSlowInit = 0\r\n"
                            "Value1 = \r\nValue2 = \r\nValue3 = \r\nValue4 = \r\nValue5 = \r\n"
                            "Value6 = \r\nValue7 = \r\nValue8 = \r\nMaxWindow = 0\r\nDebug = 0\r\n"
                            "Logging = 0\r\nLoggingDirectory =\r\nCSV = 0\r\nLanguage = Deutsch\r\n"
                            "; \r\n[Modells]\r\nVelmoro 850 = MIUG4\r\nVelmoro 1000 = 11MP\r\n;\r\n"
                            "[Deutsch]\r\n";
    EXPECT_TRUE(DefaultSettingsFile().startsWith(head));
    EXPECT_TRUE(DefaultSettingsFile().endsWith("\r\n"));
    EXPECT_EQ(QByteArray(DefaultSettingsFile()).replace("\r\n", "").count('\n'), 0);

    // The default's own values, and a second start that is no first start.
    EXPECT_EQ(settings_.maxWindow, 0);
    EXPECT_EQ(settings_.loggingDirectory, paths_.directory);
    EXPECT_EQ(settings_.language, "Deutsch");
    EXPECT_FLOAT_EQ(settings_.windowScale, 1.0f);
    EXPECT_TRUE(link_.model.isEmpty());
    EXPECT_TRUE(link_.ecuId.isEmpty());
    ASSERT_EQ(models_.size(), 2);
    EXPECT_EQ(models_[1].name, "Velmoro 1000");
    EXPECT_EQ(models_[1].ecuId, "11MP");
    EXPECT_FALSE(Read().firstStart);
}

TEST_F(SettingsFileTest, AbsentKeysTakeTheirAbsentValues)
{
    WriteFile("[Settings]\nLoggingDirectory =\nPort = COM4\nModell = Velmoro 850\n"
              "WindowFactor = NaN\n");
    settings_.maxWindow = 7;
    const SettingsReadResult result = Read();
    EXPECT_FALSE(result.firstStart);
    EXPECT_EQ(settings_.maxWindow, 1);
    EXPECT_EQ(settings_.windowX, 0);
    EXPECT_EQ(settings_.debug, 0);
    EXPECT_EQ(settings_.language, "Deutsch");
    EXPECT_EQ(settings_.loggingDirectory, paths_.directory);
    EXPECT_FLOAT_EQ(settings_.windowScale, 1.0f);
    EXPECT_EQ(link_.port, "COM4");
    EXPECT_EQ(link_.model, "Velmoro 850");
    EXPECT_TRUE(link_.ecuId.isEmpty());
    EXPECT_TRUE(models_.isEmpty());
    EXPECT_TRUE(result.matchingModels.isEmpty());
}

TEST_F(SettingsFileTest, ModelTableSkipsMinusNamesAndKeepsDuplicates)
{
    WriteFile("[Settings]\nModell = Velmoro 850\nLoggingDirectory = /var/log/velmoro\n"
              "[Modells]\n-Velmoro 850 = XX\nVelmoro 850 = MIUG4 , Sport, extra\n"
              "Other = 11MP\nVelmoro 850 = 11MP\nvelmoro 850 = MIUG4\n");
    link_.slowInit = 5;
    const SettingsReadResult result = Read();
    EXPECT_EQ(settings_.loggingDirectory, "/var/log/velmoro/");
    ASSERT_EQ(models_.size(), 4);
    EXPECT_EQ(models_[0].name, "Velmoro 850");
    EXPECT_EQ(models_[0].ecuId, "MIUG4");
    EXPECT_EQ(models_[0].ecuVariant, "Sport");
    EXPECT_EQ(models_[1].ecuVariant, "");
    ASSERT_EQ(result.matchingModels.size(), 2);
    EXPECT_EQ(result.matchingModels[0].ecuId, "MIUG4");
    EXPECT_EQ(result.matchingModels[1].ecuId, "11MP");
    EXPECT_EQ(link_.ecuId, "11MP");
    EXPECT_EQ(link_.ecuVariant, "");
    EXPECT_EQ(link_.slowInit, 0);
}

TEST_F(SettingsFileTest, ExitSaveWritesEveryKeyAndKeepsTheRest)
{
    Read();
    settings_.values[0] = "RPM";
    settings_.windowX = 33;
    settings_.windowY = 44;
    settings_.maxWindow = 1;
    link_.port = "/dev/ttyUSB0";
    link_.model = "Velmoro 850";
    ASSERT_TRUE(SaveSettingsOnExit(paths_, settings_, link_, false));

    IniFile ini;
    ASSERT_TRUE(ini.Load(paths_.SettingsFile()));
    EXPECT_EQ(ini.ReadString("Settings", "WindowFactor"), "1.000000");
    EXPECT_EQ(ini.ReadString("Settings", "WindowX"), "33");
    EXPECT_EQ(ini.ReadString("Settings", "SlowInit"), "0");
    EXPECT_EQ(ini.ReadString("Settings", "Value1"), "RPM");
    EXPECT_EQ(ini.ReadString("Settings", "LoggingDirectory"), paths_.directory);
    EXPECT_EQ(ini.ReadString("Settings", "Language"), "Deutsch");
    // Everything from [Modells] on is untouched.
    const QByteArray tail = DefaultSettingsFile().mid(DefaultSettingsFile().indexOf("; \r\n"));
    EXPECT_TRUE(FileBytes().endsWith(tail));

    Settings again;
    LinkSettings link;
    ModelList models;
    ReadSettingsFile(paths_, again, link, models);
    EXPECT_EQ(again.windowX, 33);
    EXPECT_EQ(again.maxWindow, 1);
    EXPECT_EQ(link.ecuId, "MIUG4");

    ASSERT_TRUE(SaveSettingsOnExit(paths_, settings_, link_, true));
    ReadSettingsFile(paths_, again, link, models);
    EXPECT_EQ(again.windowX, 0);
    EXPECT_EQ(again.windowY, 0);

    // A later option joins the file once set, and stays when switched off again; the others
    // stay out meanwhile.
    for (const auto& [key, option] : {std::pair{"Reconnect", &Settings::reconnect},
                                      std::pair{"FastRefresh", &Settings::fastRefresh}}) {
        SCOPED_TRACE(key);
        IniFile before;
        ASSERT_TRUE(before.Load(paths_.SettingsFile()));
        EXPECT_FALSE(before.Contains("Settings", key));
        settings_.*option = 1;
        ASSERT_TRUE(SaveSettingsOnExit(paths_, settings_, link_, false));
        ReadSettingsFile(paths_, again, link, models);
        EXPECT_EQ(again.*option, 1);
        settings_.*option = 0;
        ASSERT_TRUE(SaveSettingsOnExit(paths_, settings_, link_, false));
        IniFile after;
        ASSERT_TRUE(after.Load(paths_.SettingsFile()));
        EXPECT_EQ(after.ReadString("Settings", key), "0");
        ReadSettingsFile(paths_, again, link, models);
        EXPECT_EQ(again.*option, 0);
    }
}

TEST_F(SettingsFileTest, UnreadableFileChangesNothingAndIsNotRecreated)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir(paths_.baseName + ".ini"));
    settings_.windowX = 12;
    const SettingsReadResult result = Read();
    EXPECT_FALSE(result.opened);
    EXPECT_FALSE(result.firstStart);
    EXPECT_EQ(settings_.windowX, 12);
    EXPECT_FALSE(SaveSettingsOnExit(paths_, settings_, link_, false));
    EXPECT_FALSE(SaveLanguageSetting(paths_, "English"));
    EXPECT_TRUE(QFileInfo(paths_.SettingsFile()).isDir());
}

TEST_F(SettingsFileTest, FirstStartCreatesASettingsFolderOfItsOwn)
{
    paths_.settingsDirectory = dir_.path() + "/user/settings/";
    EXPECT_TRUE(Read().firstStart);
    EXPECT_EQ(FileBytes(), DefaultSettingsFile());
    EXPECT_EQ(settings_.loggingDirectory, paths_.directory);
}
