// Where settings and written files go: beside the program, or the user's folders for an installed
// or read-only copy; the help page lookup.
#include "config/DataLocations.h"
#include "config/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace velmoro;

namespace {

QString Slash(const QString& path)
{
    return QDir::toNativeSeparators(path + QLatin1Char('/'));
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A program directory that may not be written (chmod 0555), restored on destruction so that the
// temporary directory can be removed.
class ReadOnlyProgramTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString program, config, documents;

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        program = root.filePath("opt/bin");
        config = root.filePath("home/.config/VelmoroCanDiag");
        documents = root.filePath("home/Documents");
        ASSERT_TRUE(QDir().mkpath(program));
    }
    void LockProgram()
    {
        ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner |
                                                       QFile::ReadGroup | QFile::ExeGroup |
                                                       QFile::ReadOther | QFile::ExeOther));
    }
    void TearDown() override
    {
        QFile::setPermissions(program, QFile::permissions(program) | QFile::WriteOwner);
    }
    DataLocations Fallback() const
    {
        return ChooseDataLocations(program, false, {config, documents});
    }
};

} // namespace

TEST(DataLocationsChoiceTest, BesideProgramOrUserFolders)
{
    const StandardLocations user{"/h/.config/VelmoroCanDiag", "/h/Documents"};

    const DataLocations beside = ChooseDataLocations("/opt/v", true, user);
    EXPECT_EQ(beside.programDirectory, Slash("/opt/v"));
    EXPECT_EQ(beside.settingsDirectory, Slash("/opt/v"));
    EXPECT_EQ(beside.filesDirectory, Slash("/opt/v"));
    EXPECT_TRUE(beside.BesideProgram());

    const DataLocations installed = ChooseDataLocations("/usr/bin/", false, user);
    EXPECT_EQ(installed.programDirectory, Slash("/usr/bin"));
    EXPECT_EQ(installed.settingsDirectory, Slash("/h/.config/VelmoroCanDiag"));
    EXPECT_EQ(installed.filesDirectory, Slash("/h/Documents/VelmoroCanDiag"));
    EXPECT_FALSE(installed.BesideProgram());

    // A system without one of the folders uses the other for both; without either, the program
    // directory is all there is (writes fail there and are reported where they happen).
    const DataLocations noDocuments = ChooseDataLocations("/usr/bin", false, {user.config, ""});
    EXPECT_EQ(noDocuments.settingsDirectory, Slash("/h/.config/VelmoroCanDiag"));
    EXPECT_EQ(noDocuments.filesDirectory, Slash("/h/.config/VelmoroCanDiag"));
    const DataLocations noConfig = ChooseDataLocations("/usr/bin", false, {"", user.documents});
    EXPECT_EQ(noConfig.settingsDirectory, Slash("/h/Documents/VelmoroCanDiag"));
    EXPECT_EQ(noConfig.filesDirectory, Slash("/h/Documents/VelmoroCanDiag"));
    EXPECT_TRUE(ChooseDataLocations("/usr/bin", false, {}).BesideProgram());
}

TEST(DataLocationsChoiceTest, PathsNameEveryFileFromTheChosenPlaces)
{
    const ProgramPaths beside =
        PathsFor(ChooseDataLocations("/opt/v", true, {"/c", "/d"}), "VelmoroCanDiag");
    EXPECT_EQ(beside.SettingsFile(), QDir::toNativeSeparators("/opt/v/VelmoroCanDiag.ini"));
    EXPECT_EQ(beside.ProgramDirectory(), Slash("/opt/v"));
    EXPECT_FALSE(UsesUserFolders(beside));

    const ProgramPaths user =
        PathsFor(ChooseDataLocations("/usr/bin", false, {"/c", "/d"}), "VelmoroCanDiag");
    EXPECT_EQ(user.SettingsFile(), QDir::toNativeSeparators("/c/VelmoroCanDiag.ini"));
    EXPECT_EQ(user.directory, Slash("/d/VelmoroCanDiag"));
    // Companion tools and the help page are still looked for beside the program.
    EXPECT_EQ(user.ProgramDirectory(), Slash("/usr/bin"));
    EXPECT_TRUE(UsesUserFolders(user));
}

TEST_F(ReadOnlyProgramTest, FirstStartWritesTheDefaultFileIntoTheUserFolders)
{
    LockProgram();
    const DataLocations locations = Fallback();
    ASSERT_TRUE(PrepareDataLocations(locations, "VelmoroCanDiag"));
    EXPECT_TRUE(QFileInfo(config).isDir());
    EXPECT_TRUE(QFileInfo(documents + "/VelmoroCanDiag").isDir());

    const ProgramPaths paths = PathsFor(locations, "VelmoroCanDiag");
    Settings settings;
    LinkSettings link;
    ModelList models;
    const SettingsReadResult read = ReadSettingsFile(paths, settings, link, models);
    EXPECT_TRUE(read.firstStart);
    EXPECT_TRUE(read.opened);
    EXPECT_EQ(ReadFile(config + "/VelmoroCanDiag.ini"), DefaultSettingsFile());
    EXPECT_FALSE(QFileInfo::exists(program + "/VelmoroCanDiag.ini"));
    // Default logs (and every other written file) land in the documents folder.
    EXPECT_EQ(settings.loggingDirectory, Slash(documents + "/VelmoroCanDiag"));

    link.port = "Simulator";
    EXPECT_TRUE(SaveSettingsOnExit(paths, settings, link, false));
    LinkSettings again;
    ReadSettingsFile(paths, settings, again, models);
    EXPECT_EQ(again.port, "Simulator");
}

TEST_F(ReadOnlyProgramTest, SettingsBesideTheProgramSeedTheUsersCopyOnce)
{
    const QString shipped = program + "/VelmoroCanDiag.ini";
    ASSERT_TRUE(WriteFile(shipped, "[Settings]\r\nPort = /dev/ttyUSB0\r\n"));
    ASSERT_TRUE(QFile::setPermissions(shipped, QFile::ReadOwner | QFile::ReadGroup));
    LockProgram();

    const DataLocations locations = Fallback();
    ASSERT_TRUE(PrepareDataLocations(locations, "VelmoroCanDiag"));
    const ProgramPaths paths = PathsFor(locations, "VelmoroCanDiag");
    Settings settings;
    LinkSettings link;
    ModelList models;
    EXPECT_FALSE(ReadSettingsFile(paths, settings, link, models).firstStart);
    EXPECT_EQ(link.port, "/dev/ttyUSB0");

    // The copy took the shipped file's read-only bits; it must still take the exit save.
    link.port = "192.168.0.10:35000";
    EXPECT_TRUE(SaveSettingsOnExit(paths, settings, link, false));
    EXPECT_TRUE(ReadFile(config + "/VelmoroCanDiag.ini").contains("192.168.0.10:35000"));
    EXPECT_TRUE(ReadFile(shipped).contains("/dev/ttyUSB0"));

    // Later starts keep the user's own file.
    ASSERT_TRUE(PrepareDataLocations(locations, "VelmoroCanDiag"));
    EXPECT_TRUE(ReadFile(config + "/VelmoroCanDiag.ini").contains("192.168.0.10:35000"));
}

TEST_F(ReadOnlyProgramTest, RealCheckSeesInstalledAndMissingDirectories)
{
    EXPECT_TRUE(ProgramDirectoryWritable(program));
    EXPECT_FALSE(ProgramDirectoryWritable(root.filePath("no/such/dir")));
    // An installed copy keeps out of its directory even for a user who may write there.
    ASSERT_TRUE(QDir().mkpath(root.filePath("opt/share/velmorocandiag")));
    EXPECT_TRUE(IsInstalledProgramDirectory(program));
    EXPECT_FALSE(ProgramDirectoryWritable(program));
}

TEST_F(ReadOnlyProgramTest, RealCheckSeesPermissionBits)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into a 0555 directory";
    LockProgram();
    EXPECT_FALSE(ProgramDirectoryWritable(program));
}

TEST(HelpPageTest, BesideTheProgramThenInstalledThenSourceTree)
{
    std::set<QString> present;
    const auto exists = [&present](const QString& path) { return present.count(path) > 0; };
    const QString beside = QDir::toNativeSeparators("/usr/bin/docs/help.html");
    const QString installed = QDir::toNativeSeparators("/usr/share/velmorocandiag/help.html");
    const QString source = QDir::toNativeSeparators("/src/docs/help.html");

    EXPECT_EQ(HelpPagePath("/usr/bin/", "/src/docs", exists), installed) << "nothing present";
    present = {source};
    EXPECT_EQ(HelpPagePath("/usr/bin/", "/src/docs", exists), source);
    present = {source, "/usr/share/velmorocandiag/help.html"};
    EXPECT_EQ(HelpPagePath("/usr/bin/", "/src/docs", exists), installed);
    present = {source, "/usr/share/velmorocandiag/help.html", "/usr/bin/docs/help.html"};
    EXPECT_EQ(HelpPagePath("/usr/bin/", "/src/docs", exists), beside);
}
