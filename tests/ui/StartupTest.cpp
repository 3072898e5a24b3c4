// Start-up: program paths, font fitting, window position, the first start and a known model.
#include "ShellFixture.h"

#include "ui/LanguageChooser.h"
#include "ui/Logo.h"
#include "ui/SettingsDialog.h"
#include "ui/Views.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace velmoro::test {
namespace {

TEST(ProgramPathsTest, ResolvesSymlinksToTheRealExecutable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("real"));
    const QString target = dir.path() + QStringLiteral("/real/VelmoroCanDiag.bin");
    QFile exe(target);
    ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    exe.close();
    const QString link = dir.path() + QStringLiteral("/launcher");
    ASSERT_TRUE(QFile::link(target, link));

    const ProgramPaths paths = ProgramPathsFromExecutable(link);
    EXPECT_EQ(paths.directory, QFileInfo(target).canonicalPath() + QStringLiteral("/"));
    EXPECT_EQ(paths.baseName, QStringLiteral("VelmoroCanDiag"));
    EXPECT_EQ(paths.SettingsFile(),
              QFileInfo(target).canonicalPath() + QStringLiteral("/VelmoroCanDiag.ini"));
}

TEST(FontFitTest, LargestSizeWithinTheLimitButNeverBelowTheStart)
{
    // Heights grow by 3 pixels per 2 sizes: 16 -> 24 fits, 17 -> 25 does not.
    auto height = [](int size) { return size * 3 / 2; };
    EXPECT_EQ(FitFontSize(15, 24.0, height), 16);
    EXPECT_EQ(FitFontSize(15, 24.0 * 1.5, height), 24);
    // Even 16 is too big: the start size stays.
    EXPECT_EQ(FitFontSize(15, 10.0, height), 15);
    EXPECT_EQ(FitFontSize(5, 1.0, height), 5);
    // A face that never grows does not hang the search.
    EXPECT_GT(FitFontSize(5, 14.0, [](int) { return 0; }), 5);

    const QFont big = FitBigFont(1.0f);
    EXPECT_TRUE(big.bold());
    EXPECT_GE(big.pointSize(), 15);
    EXPECT_GE(FitNormalFont(1.0f).pointSize(), 5);
    EXPECT_GE(FitBigFont(2.0f).pointSize(), big.pointSize());
}

TEST(WindowPositionTest, ZeroCentresOtherValuesAreKept)
{
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(InitialWindowPosition(0, 0, screen, 1.0f), QPoint(560, 270));
    EXPECT_EQ(InitialWindowPosition(0, 0, screen, 1.5f), QPoint(360, 135));
    EXPECT_EQ(InitialWindowPosition(0, 40, screen, 1.0f), QPoint(560, 40));
    // Off-screen positions are used unchanged.
    EXPECT_EQ(InitialWindowPosition(-3000, 5000, screen, 1.0f), QPoint(-3000, 5000));
    // The first display need not start at the origin.
    EXPECT_EQ(InitialWindowPosition(0, 0, QRect(100, 50, 1000, 640), 1.0f), QPoint(200, 100));
}

using StartupTest = ShellFixture;

TEST_F(StartupTest, FirstStartWritesDefaultsAsksLanguageBeforeMainWindowThenOpensSettings)
{
    ASSERT_FALSE(QFile::exists(paths.SettingsFile()));
    bool chooserSeen = false;
    bool mainWindowExisted = true;
    bool survivedClose = false;
    // Polls until the chooser is up; gives up (accepting it) after a bound so nothing hangs.
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        LanguageChooser* chooser = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* c = qobject_cast<LanguageChooser*>(w); c && c->isVisible())
                chooser = c;
        if (!chooser)
            return;
        if (++ticks > 500 || chooserSeen) {
            chooser->accept();
            return;
        }
        chooserSeen = true;
        mainWindowExisted = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            mainWindowExisted = mainWindowExisted || qobject_cast<MainWindow*>(w) != nullptr;
        // Neither the close request nor Escape end it.
        chooser->close();
        chooser->reject();
        survivedClose = chooser->isVisible();
        EXPECT_EQ(chooser->List()->itemText(0), QStringLiteral("Deutsch"));
        chooser->List()->setCurrentIndex(chooser->List()->findText(QStringLiteral("English")));
        chooser->OkButton()->click();
    });
    poll.start(10);
    window = StartProgram(state, paths, options);
    poll.stop();

    EXPECT_TRUE(chooserSeen);
    EXPECT_FALSE(mainWindowExisted);
    EXPECT_TRUE(survivedClose);
    ASSERT_TRUE(QFile::exists(paths.SettingsFile()));
    EXPECT_TRUE(state.firstStart);
    EXPECT_EQ(state.settings.language, QStringLiteral("English"));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    // No model yet: the settings dialog opened by itself and Connect stays disabled.
    EXPECT_EQ(state.setupPending, 1);
    ASSERT_NE(window->SettingsWindow(), nullptr);
    EXPECT_TRUE(window->SettingsWindow()->isVisible());
    EXPECT_FALSE(window->MenuItem(ItemConnect)->isEnabled());

    QFile file(paths.SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\r\nLanguage = English\r\n"));
}

TEST_F(StartupTest, KnownModelFillsEcuTextChoosersAndEnablesTools)
{
    WriteSettings({{"Port", "Simulator"},
                   {"Modell", "Velmoro 850"},
                   {"Language", "English"},
                   {"Value1", "RPM"},
                   {"Value2", "No such value"}});
    Start();
    auto* view = window->Measurements();
    EXPECT_EQ(view->ecuInfoText->toPlainText(), QStringLiteral("IAW MIUG4 "));
    EXPECT_EQ(window->StatusText(0), QStringLiteral("Velmoro 850"));
    EXPECT_EQ(window->SettingsWindow(), nullptr);
    for (int id : {ItemConnect, ItemEcuRead, ItemEcuWrite, ItemEeprom})
        EXPECT_TRUE(window->MenuItem(id)->isEnabled()) << id;
    // Disconnected: the views that need the link are greyed out.
    for (int id : {ItemFaults, ItemDiagram, ItemActors, ItemReport, ItemCoTrim})
        EXPECT_FALSE(window->MenuItem(id)->isEnabled()) << id;
    EXPECT_TRUE(window->MenuItem(ItemMeasurements)->isChecked());

    // The saved name was found; an unknown one leaves the row empty.
    EXPECT_EQ(view->choosers[0]->currentText(), QStringLiteral("RPM"));
    EXPECT_GT(state.rows[0].valueIndex, 0);
    EXPECT_EQ(view->valueTexts[0]->text(), QStringLiteral("----"));
    EXPECT_EQ(view->choosers[1]->currentIndex(), 0);
    EXPECT_EQ(state.rows[1].valueIndex, 0);
    EXPECT_TRUE(view->valueTexts[1]->text().isEmpty());
    EXPECT_GT(view->choosers[0]->count(), 80);

    // The actors list: a heading, the engine-off tests, the second heading and the stepper.
    auto* actors = window->Actors()->list;
    ASSERT_GE(actors->count(), 3);
    EXPECT_EQ(actors->item(0)->data(Qt::UserRole).toInt(), -1);
    EXPECT_TRUE(actors->item(1)->text().startsWith(QStringLiteral("    ")));
    EXPECT_EQ(actors->currentRow(), 1);
}

TEST_F(StartupTest, ModelWithoutPortKeepsConnectAndToolsDisabled)
{
    WriteSettings({{"Modell", "Velmoro 850"}, {"Language", "English"}});
    Start();
    for (int id : {ItemConnect})
        EXPECT_FALSE(window->MenuItem(id)->isEnabled());
    window->SetLinkMenuState(true);
    for (int id : {ItemConnect, ItemEcuRead, ItemEcuWrite, ItemEeprom})
        EXPECT_FALSE(window->MenuItem(id)->isEnabled()) << id;

    // With a port the link state decides: tools only while disconnected.
    state.link.port = QStringLiteral("Simulator");
    window->SetLinkMenuState(false);
    EXPECT_TRUE(window->MenuItem(ItemConnect)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemEcuRead)->isEnabled());
    EXPECT_TRUE(window->MenuItem(ItemFaults)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemCoTrim)->isEnabled()); // no family offers CO Trim
    window->SetLinkMenuState(true);
    EXPECT_TRUE(window->MenuItem(ItemEcuRead)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemFaults)->isEnabled());
}

// What the user does in the settings dialog reaches the window at once, and closing it with a
// model ends the first-start set-up: choosers filled, Connect enabled, no restart.
TEST_F(StartupTest, SettingsDialogChoicesReachTheWindowAndClosingEndsTheSetUp)
{
    WriteSettings({{"Port", "Simulator"}, {"Language", "English"}});
    Start();
    QPointer<SettingsDialog> dialog = window->SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !dialog->SearchingPorts(); }));
    EXPECT_EQ(state.setupPending, 1);
    EXPECT_FALSE(window->MenuItem(ItemConnect)->isEnabled());

    dialog->ModelList()->setCurrentIndex(dialog->ModelList()->findText("Velmoro 1000"));
    EXPECT_EQ(window->Measurements()->ecuInfoText->toPlainText(), QStringLiteral("IAW 11MP "));
    EXPECT_EQ(window->StatusText(StatusModel), QStringLiteral("Velmoro 1000"));
    ASSERT_NE(window->Session()->family(), nullptr);
    EXPECT_EQ(window->Session()->family()->family(), Family11mp);
    EXPECT_FALSE(window->MenuItem(ItemCoTrim)->isEnabled());

    const QString idleLogField = window->StatusText(StatusLog);
    dialog->LoggingBox()->setChecked(true);
    EXPECT_TRUE(window->StatusText(StatusLog).endsWith(QStringLiteral("VelmoroCanDiag_xxx.log")));
    dialog->LoggingBox()->setChecked(false);
    EXPECT_EQ(window->StatusText(StatusLog), idleLogField);

    // A language rewrites every text, the dialog's own included.
    const int german = dialog->LanguageList()->findText(QStringLiteral("Deutsch"));
    ASSERT_GE(german, 0);
    dialog->LanguageList()->setCurrentIndex(german);
    EXPECT_EQ(window->MenuTitle(0)->title(), QStringLiteral("Datei"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Velmoro Diag Einstellungen"));

    dialog->close();
    EXPECT_EQ(state.setupPending, 0);
    EXPECT_EQ(state.settings.language, QStringLiteral("Deutsch"));
    EXPECT_TRUE(window->MenuItem(ItemConnect)->isEnabled());
    EXPECT_GT(window->Measurements()->choosers[0]->count(), 80);
    EXPECT_FALSE(window->Stopped());
    ASSERT_TRUE(WaitUntil([&] { return dialog.isNull(); }));
}

// A settings file that is empty, or lists no models, is named once with its fault instead of a
// window with an empty model list and no word why; a sound file says nothing.
TEST_F(StartupTest, AnEmptySettingsFileIsNamedOnceAtStartUp)
{
    {
        QFile file(paths.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\r\n; nothing here\r\n");
    }
    Start();
    EXPECT_EQ(CountMessages(QStringLiteral("The settings file ") + paths.SettingsFile() +
                            QStringLiteral(" is empty: it holds no settings, models or texts.")),
              1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(state.models.isEmpty());

    window.reset();
    messages.clear();
    WriteSettings({{"Modell", "Velmoro 850"}, {"Language", "English"}});
    Start();
    EXPECT_TRUE(messages.empty());
}

TEST_F(StartupTest, LanguageSwitchRewritesTextsAndKeepsChosenValues)
{
    WriteSettings({{"Port", "Simulator"},
                   {"Modell", "Velmoro 850"},
                   {"Language", "English"},
                   {"Value1", "RPM"}});
    Start();
    const int chosen = state.rows[0].valueIndex;
    ASSERT_GT(chosen, 0);
    window->ApplyLanguage(QStringLiteral("Deutsch"));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Verbinden"));
    EXPECT_EQ(window->MenuTitle(0)->title(), QStringLiteral("Datei"));
    EXPECT_EQ(window->InfoLabel()->text(), QStringLiteral("Nicht für den Verkauf!"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Getrennt"));
    EXPECT_EQ(state.rows[0].valueIndex, chosen);
    EXPECT_EQ(window->Measurements()->choosers[0]->currentIndex(), chosen);
    EXPECT_EQ(window->Measurements()->choosers[0]->currentText(), state.valueNames[chosen]);

    // An unknown section changes nothing.
    window->ApplyLanguage(QStringLiteral("Klingon"));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Verbinden"));
    EXPECT_EQ(state.settings.language, QStringLiteral("Deutsch"));
}

TEST_F(StartupTest, QuickMenuAndLogo)
{
    WriteSettings({{"Port", "Simulator"}, {"Modell", "Velmoro 850"}, {"Language", "English"}});
    Start();
    EXPECT_EQ(window->LogoWidget()->toolTip(), state.texts.Text(QStringLiteral("Tip_2")));
    emit window->LogoWidget()->leftClicked();
    EXPECT_TRUE(window->QuickMenuPanel()->isVisible());
    EXPECT_FALSE(window->LogoWidget()->isVisible());
    EXPECT_FALSE(window->Measurements()->readAllButton->isVisible());
    EXPECT_EQ(window->QuickButton(0)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(window->QuickButton(3)->isEnabled()); // Faults need a running link
    EXPECT_FALSE(window->QuickButton(5)->isEnabled());
    window->QuickButton(6)->click(); // "X"
    EXPECT_FALSE(window->QuickMenuPanel()->isVisible());
    EXPECT_TRUE(window->LogoWidget()->isVisible());
    EXPECT_TRUE(window->Measurements()->readAllButton->isVisible());

    emit window->LogoWidget()->rightClicked();
    EXPECT_TRUE(helpOpened.endsWith(QStringLiteral("help.html")));
    EXPECT_TRUE(QFile::exists(helpOpened));
}

TEST_F(StartupTest, UnknownLanguageStartsInEnglishAndAsksAsOnAFirstStart)
{
    WriteSettings({{"Port", "Simulator"}, {"Modell", "Velmoro 850"}, {"Language", "Francais"}});
    QFile before(paths.SettingsFile());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    before.close();

    QStringList offered;
    QString languageWhileAsking;
    window = StartProgram(state, paths, options, [&](const QStringList& languages, float) {
        offered = languages;
        languageWhileAsking = state.settings.language;
        // Start-up has read the file: what it holds now reaches neither the texts nor the file.
        QFile changed(paths.SettingsFile());
        EXPECT_TRUE(changed.open(QIODevice::WriteOnly));
        changed.write("[Settings]\r\n");
        return QStringLiteral("Deutsch");
    });
    EXPECT_EQ(offered.size(), 9);
    EXPECT_TRUE(offered.contains(QStringLiteral("Français")));
    EXPECT_EQ(languageWhileAsking, QStringLiteral("English"));
    EXPECT_EQ(state.settings.language, QStringLiteral("Deutsch"));
    EXPECT_EQ(window->MenuTitle(0)->title(), QStringLiteral("Datei"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Getrennt"));
    window->StopAll();
    window.reset();

    // Apart from the Language line the file is as it was.
    QFile after(paths.SettingsFile());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    QByteArray expected = original;
    ASSERT_TRUE(expected.contains("\r\nLanguage = Francais\r\n"));
    expected.replace("\r\nLanguage = Francais\r\n", "\r\nLanguage = Deutsch\r\n");
    EXPECT_EQ(after.readAll(), expected);
}

TEST_F(StartupTest, LanguageLineIsWrittenAtExitNotWhileStarting)
{
    WriteSettings({{"Port", "Simulator"}, {"Modell", "Velmoro 850"}, {"Language", "English"}});
    QByteArray original;
    {
        QFile file(paths.SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        original = file.readAll().replace("\r\nLanguage = English\r\n", "\r\nLanguage=English\r\n");
        file.resize(0);
        file.write(original);
    }
    auto contents = [this] {
        QFile file(paths.SettingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    Start();
    EXPECT_EQ(window->MenuTitle(0)->title(), QStringLiteral("File"));
    EXPECT_EQ(contents(), original);
    window->StopAll();
    EXPECT_FALSE(window->SaveOnExit());
    EXPECT_TRUE(contents().contains("\r\nLanguage = English\r\n"));
}

TEST_F(StartupTest, UnknownLanguageWithoutAChoiceStillShowsEnglish)
{
    WriteSettings({{"Port", "Simulator"}, {"Modell", "Velmoro 850"}, {"Language", "Klingon"}});
    window =
        StartProgram(state, paths, options, [](const QStringList&, float) { return QString(); });
    EXPECT_EQ(state.settings.language, QStringLiteral("English"));
    EXPECT_EQ(window->MenuTitle(0)->title(), QStringLiteral("File"));
    EXPECT_EQ(window->MenuItem(ItemPreferences)->text(), QStringLiteral("Preferences"));
    EXPECT_TRUE(window->MenuItem(ItemPreferences)->isEnabled());
}

} // namespace
} // namespace velmoro::test
