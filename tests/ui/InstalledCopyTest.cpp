// A copy whose settings and files live in the user's folders: the window says where, and still
// finds its help page and companion tools beside the program.
#include "ShellFixture.h"

#include "ui/Logo.h"

#include <QDir>
#include <QFileInfo>

namespace velmoro::test {
namespace {

class InstalledCopyTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        root = dir.path() + QStringLiteral("/");
        for (const char* sub : {"usr/bin", "usr/share/velmorocandiag", "config", "Documents"})
            ASSERT_TRUE(QDir(root).mkpath(QString::fromLatin1(sub)));
        paths.programDirectory = root + QStringLiteral("usr/bin/");
        paths.settingsDirectory = root + QStringLiteral("config/");
        paths.directory = root + QStringLiteral("Documents/");
    }
    QString root;
};

TEST_F(InstalledCopyTest, SaysWhereFilesGoAndLooksBesideTheProgramForHelpAndTools)
{
    WriteSettings({{"Modell", "Velmoro 850"}, {"Port", "Simulator"}});
    const QString help = root + QStringLiteral("usr/share/velmorocandiag/help.html");
    QFile page(help);
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    const QString tool = paths.programDirectory + QStringLiteral("IAWMIUG4Reader");
    ASSERT_TRUE(QFile::copy(VELMORO_SOURCE_DIR "/tests/support/record_args.sh", tool));
    QFile::setPermissions(tool, QFile::permissions(tool) | QFileDevice::ExeOwner);

    Start();
    EXPECT_EQ(state.link.ecuId, QStringLiteral("MIUG4")) << "settings read from the user's folder";
    EXPECT_EQ(window->StatusText(2), paths.directory);

    window->HandleMenu(ItemAbout);
    ASSERT_FALSE(messages.empty());
    const QString about = messages.back().second;
    EXPECT_TRUE(about.contains(QStringLiteral("Settings file: ") + paths.SettingsFile()))
        << about.toStdString();
    EXPECT_TRUE(about.contains(QStringLiteral("Files: ") + paths.directory)) << about.toStdString();

    emit window->LogoWidget()->rightClicked();
    EXPECT_EQ(helpOpened, QDir::toNativeSeparators(QDir::cleanPath(help)));

    window->HandleMenu(ItemEcuRead);
    // The tool runs while the event loop goes on; the window comes back when it has ended.
    EXPECT_TRUE(velmoro::test::WaitUntil([&] { return window->isVisible(); }));
    EXPECT_TRUE(QFileInfo::exists(paths.programDirectory + "received_IAWMIUG4Reader.txt"));
}

class BesideProgramTest : public ShellFixture {};

TEST_F(BesideProgramTest, LogFieldStaysBlankAndAboutNamesTheSettingsFile)
{
    WriteSettings({{"Modell", "Velmoro 850"}, {"Port", "Simulator"}});
    Start();
    EXPECT_EQ(window->StatusText(2), QStringLiteral(" "));
    window->HandleMenu(ItemAbout);
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.back().second.contains(paths.SettingsFile()));
}

TEST_F(BesideProgramTest, LogsThatCannotBeCreatedAreNamedInTheLogField)
{
    const QString missing = paths.directory + QStringLiteral("missing/");
    WriteSettings({{"Modell", "Velmoro 850"},
                   {"Port", "Simulator"},
                   {"CSV", "1"},
                   {"Logging", "1"},
                   {"LoggingDirectory", missing}});
    Start();
    // The logs are opened by the Connect choice itself, before the worker starts.
    window->HandleMenu(ItemConnect);
    const QString field = window->StatusText(2);
    // In the window's language (German here), not in English inside a German window.
    EXPECT_TRUE(field.startsWith(QStringLiteral("Kann nicht schreiben: ") + missing))
        << field.toStdString();
    EXPECT_TRUE(field.contains(QStringLiteral(".csv"))) << field.toStdString();
    EXPECT_TRUE(field.contains(QStringLiteral(".log"))) << field.toStdString();
}

} // namespace
} // namespace velmoro::test
