// Companion programs: naming, finding the last matching executable, arguments, missing tools.
#include "ui/ExternalTools.h"
#include "config/Settings.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using namespace velmoro;

namespace {

class ExternalToolsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Dir() const { return dir.path() + QLatin1Char('/'); }

    void AddRecorder(const QString& name)
    {
        const QString path = Dir() + name;
        ASSERT_TRUE(QFile::copy(VELMORO_SOURCE_DIR "/tests/support/record_args.sh", path));
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    }
    // Starts the tool and waits for its end with the event loop running; its exit code, -2 when
    // it never ended.
    int Run(const LinkSettings& link, const QString& kind, ExternalToolHooks hooks)
    {
        int exitCode = -2;
        bool ended = false;
        hooks.finished = [&](int code) {
            exitCode = code;
            ended = true;
        };
        if (!StartExternalTool(Dir(), link, kind, hooks))
            return -1;
        if (hooks.mainWindow) {
            EXPECT_FALSE(hooks.mainWindow->isEnabled());
        }
        velmoro::test::WaitUntil([&] { return ended; });
        return exitCode;
    }
    QString Received(const QString& name) const
    {
        QFile f(Dir() + "received_" + name + ".txt");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

} // namespace

TEST_F(ExternalToolsTest, LastMatchingExecutableIsStartedWithPortInProgramDirectory)
{
    AddRecorder("IAWMIUG4ReaderA");
    AddRecorder("IAWMIUG4ReaderB");
    // Neither a directory nor a file without the executable bit may win.
    ASSERT_TRUE(QDir(dir.path()).mkdir("IAWMIUG4ReaderZdir"));
    QFile plain(Dir() + "IAWMIUG4ReaderY.txt");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    AddRecorder("IAW11MPReaderZ"); // other family

    EXPECT_EQ(FindExternalTool(Dir(), "IAWMIUG4Reader"), Dir() + "IAWMIUG4ReaderB");

    QWidget mainWindow;
    mainWindow.show();
    LinkSettings link;
    link.family = FamilyMiug4;
    link.port = "/dev/ttyUSB0";
    bool messaged = false;
    ExternalToolHooks hooks{
        &mainWindow, [&](const QString&, const QString&) { messaged = true; }, {}};
    EXPECT_EQ(Run(link, "Reader", hooks), 0);

    EXPECT_FALSE(messaged);
    EXPECT_TRUE(Received("IAWMIUG4ReaderA").isEmpty());
    EXPECT_EQ(Received("IAWMIUG4ReaderB"),
              QDir(dir.path()).canonicalPath() + "\n[-c]\n[/dev/ttyUSB0]\n");
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(ExternalToolsTest, EmptyPortPassesTheSwitchAlone)
{
    AddRecorder("IAW11MPWriter");
    LinkSettings link;
    link.family = Family11mp;
    EXPECT_EQ(Run(link, "Writer", {}), 0);
    EXPECT_TRUE(Received("IAW11MPWriter").endsWith("\n[-c]\n"));
}

TEST_F(ExternalToolsTest, MissingToolShowsInfoAndStartsNothing)
{
    AddRecorder("IAWMIUG4EEPROMTool"); // the other family's tool must not be taken
    LinkSettings link;
    link.family = Family11mp;
    link.port = "COM3";
    QString title, text;
    ExternalToolHooks hooks{nullptr,
                            [&](const QString& t, const QString& m) {
                                title = t;
                                text = m;
                            },
                            {}};
    EXPECT_EQ(Run(link, "EEPROMTool", hooks), -1);
    EXPECT_EQ(title, "Info");
    EXPECT_EQ(text, "IAW11MPEEPROMTool not found");
    EXPECT_TRUE(Received("IAWMIUG4EEPROMTool").isEmpty());
}
