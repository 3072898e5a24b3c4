// The read-all survey and the actors view driven through their buttons against the simulator.
#include "ShellFixture.h"

#include "ui/ActorsPanel.h"
#include "ui/Views.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

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

TEST_F(ServicesViewTest, SurveyCutByDisconnectEndsItsFileAsCutShort)
{
    ASSERT_TRUE(ConnectAndWait());
    // Slow enough an ECU that the survey is still running when Disconnect comes.
    SharedSimulator()->SetLatencyMs(20);
    QPushButton* button = window->Measurements()->readAllButton;
    button->click();
    ASSERT_TRUE(SharedSimulator()->WaitForReceived("221040", 60000));
    window->HandleMenu(ItemConnect); // Disconnect
    ASSERT_TRUE(WaitUntil(
        [this] { return window->StatusText(1) == QStringLiteral("Disconnected"); }, 60000));
    SharedSimulator()->SetLatencyMs(0);

    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("TestResultate_*.log")});
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.path() + QStringLiteral("/") + files.front());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // The lines read so far, then the line that says where it stopped: never the footer of a
    // finished survey, never an identifier without its answer.
    EXPECT_FALSE(text.contains("Needed:"));
    const QList<QByteArray> lines = text.trimmed().split('\n');
    ASSERT_GE(lines.size(), 4 + 0x40 + 2);
    EXPECT_TRUE(lines[4 + 0x3F].startsWith("Tx: 3F Rx:"));
    const QByteArray last = lines.last().trimmed();
    EXPECT_TRUE(last.startsWith("Survey cut short at identifier 0x10")) << last.constData();
    const int stoppedAt = last.mid(35, 2).toInt(nullptr, 16);
    EXPECT_EQ(lines.size(), 4 + stoppedAt + 2) << last.constData();
    EXPECT_TRUE(lines[lines.size() - 2].trimmed().isEmpty());
    EXPECT_TRUE(window->StatusText(2).startsWith(QStringLiteral("Survey cut short")))
        << window->StatusText(2).toStdString();
    EXPECT_EQ(button->text(), QStringLiteral("Read all"));
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
    EXPECT_EQ(start->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(WaitUntil([] { return SharedSimulator()->ActuatorOn(0x79); }));
    start->click();
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(WaitUntil([] { return !SharedSimulator()->ActuatorOn(0x79); }));

    // Disconnect greys the view out again.
    window->HandleMenu(ItemConnect);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(ServicesViewTest, DownloadCutByDisconnectKeepsTheControlsOffUntilTheLinkIsBack)
{
    window->HandleMenu(ItemActors);
    QListWidget* list = window->Actors()->list;
    QPushButton* start = window->Actors()->startButton;
    ASSERT_TRUE(ConnectAndWait());
    int downloadRow = -1;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().trimmed() == QStringLiteral("Stored data download"))
            downloadRow = i;
    ASSERT_GE(downloadRow, 0);
    list->setCurrentRow(downloadRow);
    // Slow enough an ECU that the blocks are still coming when Disconnect comes.
    auto sim = SharedSimulator();
    sim->SetLatencyMs(50);
    messages.clear();
    start->click();
    EXPECT_EQ(window->ActorsLogic()->ButtonState(), ActorsProcedureRunning);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    ASSERT_TRUE(sim->WaitForReceived("3103022401", 60000));
    window->HandleMenu(ItemConnect); // Disconnect
    ASSERT_TRUE(
        WaitUntil([this] { return window->ActorsLogic()->ButtonState() == ActorsIdle; }, 60000));
    sim->SetLatencyMs(0);

    // The download says how it ended and where what arrived is kept, and leaves no file that
    // looks finished; without a link the controls stay off.
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*StoredData.bin")}).isEmpty());
    const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("*StoredData.bin.part")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(CountMessages("Stored data download: Error\nIncomplete, written: " + kept[0]), 1);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(start->text(), QStringLiteral("Start"));

    // The link back: the same entry can be started again.
    ASSERT_TRUE(WaitUntil(
        [this] { return window->StatusText(1) == QStringLiteral("Disconnected"); }, 60000));
    ASSERT_TRUE(ConnectAndWait());
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(list->currentRow(), downloadRow);
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
}

TEST_F(ServicesViewTest, SwitchPressWithASilentAdapterLeavesTheWindowResponsive)
{
    window->HandleMenu(ItemActors);
    ASSERT_TRUE(ConnectAndWait());
    QPushButton* start = window->Actors()->startButton;
    window->Actors()->list->setCurrentRow(1); // Fuelpump
    ASSERT_TRUE(WaitUntil([this] { return window->Session()->idle(); }));
    auto sim = SharedSimulator();
    sim->ClearReceived();
    sim->SetSilent(true); // the switch request waits out the adapter's time-out

    start->click();
    bool handled = false;
    bool requestPending = false;
    QTimer::singleShot(0, window.get(), [&] {
        handled = true;
        requestPending = window->Session()->jobRunning();
    });
    ASSERT_TRUE(WaitUntil([&] { return handled; }));
    EXPECT_TRUE(requestPending);
    EXPECT_EQ(start->text(), QStringLiteral("Stop"));

    // Stop while the on request still waits: the off request follows it.
    ASSERT_TRUE(WaitUntil([&] { return sim->ReceivedCommands().contains("2F507903"); }));
    sim->SetSilent(false);
    start->click();
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    ASSERT_TRUE(WaitUntil([this] { return !window->Session()->jobRunning(); }));
    QByteArrayList requests = sim->ReceivedCommands();
    requests.removeAll(QByteArray("3E00"));
    requests.removeAll(QByteArray("3E 00"));
    EXPECT_EQ(requests, (QByteArrayList{"2F507903", "2F507900"}));
    EXPECT_FALSE(sim->ActuatorOn(0x79));
}

} // namespace
} // namespace velmoro::test
