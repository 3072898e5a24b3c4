// The read-all survey and the actors view driven through their buttons against the simulator.
#include "ShellFixture.h"

#include "ui/Views.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace velmoro::test {
namespace {

class ServicesViewTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        WriteSettings({{"Port", "Simulator"},
                       {"Modell", "Velmoro 850"},
                       {"Language", "English"},
                       {"Value1", "RPM"}});
        Start();
    }
};

TEST_F(ServicesViewTest, ReadAllWritesTheSurveyAndHandsBackToTheRefresh)
{
    ASSERT_TRUE(ConnectAndWait());
    QPushButton* button = window->Measurements()->readAllButton;
    ASSERT_TRUE(button->isEnabled());
    messages.clear();
    button->click();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front().first, QStringLiteral("Info"));
    EXPECT_TRUE(messages.front().second.startsWith(state.texts.Text(QStringLiteral("ReadAll_1"))));
    EXPECT_FALSE(button->isEnabled());

    bool sawStepText = false;
    ASSERT_TRUE(WaitUntil(
        [&] {
            sawStepText = sawStepText || button->text().startsWith(QStringLiteral("Read: 0x"));
            return button->isEnabled();
        },
        120000));
    EXPECT_TRUE(sawStepText);
    EXPECT_EQ(button->text(), QStringLiteral("Read all"));

    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("TestResultate_*.log")});
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.path() + QStringLiteral("/") + files.front());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 263); // 262 lines, each ended by CR LF
    EXPECT_EQ(lines[0], QByteArray("VelmoroCanDiag V0.02\r"));
    EXPECT_EQ(lines[1], QByteArray("Bike: Velmoro 850\r"));
    EXPECT_TRUE(lines[4].startsWith("Tx: 00 Rx:"));
    EXPECT_TRUE(lines[259].startsWith("Tx: FF Rx:"));
    // The identifiers the catalogue reads answer with data, the others are refused.
    EXPECT_TRUE(lines[4 + 0x30].startsWith("Tx: 30 Rx: ")) << lines[4 + 0x30].toStdString();
    EXPECT_NE(lines[4 + 0x30], QByteArray("Tx: 30 Rx: not available\r"));
    EXPECT_TRUE(lines[261].startsWith("Needed: "));

    // The measurement refresh runs again afterwards.
    SharedSimulator()->ClearReceived();
    EXPECT_TRUE(WaitUntil([] { return SharedSimulator()->ReceivedCommands().size() >= 3; }));
}

TEST_F(ServicesViewTest, SwitchableActuatorStartsAndStops)
{
    window->HandleMenu(ItemActors);
    QListWidget* list = window->Actors()->list;
    QPushButton* start = window->Actors()->startButton;
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(list->isEnabled());
    EXPECT_EQ(start->text(), QStringLiteral("Start"));

    // A heading cannot be started.
    list->setCurrentRow(0);
    EXPECT_FALSE(start->isEnabled());
    list->setCurrentRow(1); // Fuelpump
    ASSERT_TRUE(start->isEnabled());
    start->click();
    EXPECT_TRUE(SharedSimulator()->ActuatorOn(0x79));
    EXPECT_EQ(start->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(list->isEnabled());
    start->click();
    EXPECT_FALSE(SharedSimulator()->ActuatorOn(0x79));
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    EXPECT_TRUE(list->isEnabled());

    // Disconnect greys the view out again.
    window->HandleMenu(ItemConnect);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(start->isEnabled());
}

} // namespace
} // namespace velmoro::test
