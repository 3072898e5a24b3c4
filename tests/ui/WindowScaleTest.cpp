// The window-size procedure: re-centring on resize, the smaller ratio, the main window's state.
#include "config/LanguageTexts.h"
#include "ui/WindowScaleDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace velmoro;

TEST(WindowScaleTest, ResizingRecentresAndTheLastSizeGivesTheFactor)
{
    LanguageTexts texts;
    texts.Set("Settings_14", "Please resize the window to your wanted size");
    texts.Set("View_52", "Ok");
    QWidget mainWindow;
    mainWindow.show();
    bool mainHiddenMeanwhile = false;
    QPoint wideText, wideButton, bigText, bigButton;
    QSize clamped;
    const float factor = AskWindowScale(texts, &mainWindow, QFont(), [&](WindowScaleDialog& d) {
        mainHiddenMeanwhile = !mainWindow.isVisible() && !mainWindow.isEnabled();
        EXPECT_EQ(d.Text()->text(), "Please resize the window to your wanted size");
        d.resize(1200, 540);
        QApplication::processEvents();
        wideText = d.Text()->pos();
        wideButton = d.Button()->pos();
        d.resize(700, 500); // below the minimum
        QApplication::processEvents();
        clamped = QSize(d.LastWidth(), d.LastHeight());
        d.resize(1201, 1081);
        QApplication::processEvents();
        bigText = d.Text()->pos();
        bigButton = d.Button()->pos();
        d.Button()->click();
    });
    EXPECT_TRUE(mainHiddenMeanwhile);
    EXPECT_EQ(wideText, QPoint(200, 195));
    EXPECT_EQ(wideButton, QPoint(525, 255));
    EXPECT_EQ(clamped, QSize(800, 540));
    EXPECT_EQ(bigText, QPoint(200, 465)); // integer halving: 1201 / 2 = 600
    EXPECT_EQ(bigButton, QPoint(525, 525));
    EXPECT_FLOAT_EQ(factor, 1201.0f / 800.0f);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST(WindowScaleTest, WiderOnlyOrUnchangedGivesOne)
{
    LanguageTexts texts;
    EXPECT_FLOAT_EQ(AskWindowScale(texts, nullptr, QFont(),
                                   [](WindowScaleDialog& d) {
                                       d.resize(1500, 540);
                                       QApplication::processEvents();
                                       d.Button()->click();
                                   }),
                    1.0f);
    EXPECT_FLOAT_EQ(
        AskWindowScale(texts, nullptr, QFont(), [](WindowScaleDialog& d) { d.Button()->click(); }),
        1.0f);
}

TEST(WindowScaleTest, TitleBarCloseDoesNotEndTheProcedure)
{
    LanguageTexts texts;
    bool stillOpen = false;
    AskWindowScale(texts, nullptr, QFont(), [&](WindowScaleDialog& d) {
        d.close();
        stillOpen = d.isVisible() && !d.Done();
        d.Button()->click();
    });
    EXPECT_TRUE(stillOpen);
}
