// The program under adapter faults and user disconnects at awkward moments: each case ends with
// "Ignition off" shown once, the menu back to Connect, no worker left and a complete CSV log.
#include "ShellFixture.h"

#include "ui/Views.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace velmoro::test {
namespace {

// Ends the process when a test body runs longer than its bound: a main thread blocked in a join
// cannot be rescued by the event-loop waits.
class Watchdog {
public:
    explicit Watchdog(int boundMs)
        : thread_([this, boundMs] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, std::chrono::milliseconds(boundMs),
                                     [this] { return done_; })) {
                  std::fprintf(stderr, "HANG: fault-injection case still running after %d ms\n",
                               boundMs);
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

class FaultInjectionTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        SharedSimulator()->SetGarbage(false);
        SharedSimulator()->SetMissingPrompt(false);
    }
    void TearDown() override
    {
        ShellFixture::TearDown();
        auto sim = SharedSimulator();
        sim->SetGarbage(false);
        sim->SetMissingPrompt(false);
        sim->SetSilent(false);
        sim->Restore();
    }

    void StartLogging()
    {
        WriteSettings({{"Port", "Simulator"},
                       {"Modell", "Velmoro 850"},
                       {"Language", "English"},
                       {"Value1", "RPM"},
                       {"Value2", "Voltage"},
                       {"CSV", "1"},
                       {"LoggingDirectory", paths.directory}});
        Start();
    }

    QString Value(int row) const { return window->Measurements()->valueTexts[row]->text(); }
    bool ValuesShown() const { return Value(0) != QStringLiteral("----") && !Value(0).isEmpty(); }

    // The disconnected window after a fault or a disconnect, and the log it left.
    void ExpectDisconnectedCleanly()
    {
        ASSERT_TRUE(WaitUntil([this] {
            return CountMessages(QStringLiteral("Ignition off")) >= 1 && !window->WorkerAlive() &&
                   window->MenuItem(ItemConnect)->isEnabled();
        }));
        // Late events of the ended link must not add a second message.
        WaitUntil([] { return false; }, 200);
        EXPECT_EQ(CountMessages(QStringLiteral("Ignition off")), 1);
        EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
        EXPECT_TRUE(window->MenuItem(ItemPreferences)->isEnabled());
        EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
        EXPECT_FALSE(window->Session()->workerRunning());
        EXPECT_FALSE(window->LinkActive());
        EXPECT_EQ(Value(0), QStringLiteral("----"));
        ExpectCsvComplete();
    }

    // Every line ends in CR LF and holds nine quoted fields: the time and eight values (the
    // header: its title and the eight chooser texts).
    void ExpectCsvComplete()
    {
        EXPECT_FALSE(window->Csv().IsOpen());
        const QString name = window->Csv().FileName();
        ASSERT_FALSE(name.isEmpty());
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast(); // after the last line end
        ASSERT_GE(lines.size(), 1);
        for (const QByteArray& line : lines) {
            EXPECT_TRUE(line.startsWith('"') && line.endsWith("\"\r")) << line.constData();
            EXPECT_EQ(line.count("\",\""), 8) << line.constData();
        }
    }

    // Connecting again after the fault is cleared brings values: nothing was left stuck.
    void ExpectReconnects()
    {
        auto sim = SharedSimulator();
        sim->Restore();
        sim->SetSilent(false);
        sim->SetGarbage(false);
        sim->SetMissingPrompt(false);
        sim->SetLatencyMs(0);
        messages.clear();
        ASSERT_TRUE(ConnectAndWait());
        EXPECT_TRUE(WaitUntil([this] { return ValuesShown(); }));
        window->HandleMenu(ItemConnect);
        ASSERT_TRUE(
            WaitUntil([this] { return CountMessages(QStringLiteral("Ignition off")) == 1; }));
        EXPECT_FALSE(window->WorkerAlive());
    }

    Watchdog watchdog_{90000};
};

TEST_F(FaultInjectionTest, AdapterVanishingDuringTheIgnitionPrompt)
{
    bool vanished = false;
    options.showMessage = [this, &vanished](const QString& title, const QString& text) {
        messages.push_back({title, text});
        if (!vanished && text.startsWith(state.texts.Text(QStringLiteral("Thread_2")))) {
            vanished = true;
            SharedSimulator()->Vanish(); // while the user reads the box
        }
    };
    StartLogging();
    window->HandleMenu(ItemConnect);
    ExpectDisconnectedCleanly();
    EXPECT_FALSE(SharedSimulator()->ReceivedCommands().contains("1003"));
    ExpectReconnects();
}

TEST_F(FaultInjectionTest, AdapterVanishingDuringTheSetUp)
{
    StartLogging();
    auto sim = SharedSimulator();
    sim->SetLatencyMs(40);
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([&] { return sim->ReceivedCommands().contains("ATE 0"); }));
    sim->Vanish();
    ExpectDisconnectedCleanly();
    ExpectReconnects();
}

TEST_F(FaultInjectionTest, GarbageMidPassIsSurvivedAndValuesReturn)
{
    StartLogging();
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(WaitUntil([this] { return ValuesShown(); }));
    auto sim = SharedSimulator();
    sim->ClearReceived();
    sim->SetGarbage(true);
    // Passes go on through the junk.
    ASSERT_TRUE(WaitUntil([&] { return sim->ReceivedCommands().size() >= 30; }));
    sim->SetGarbage(false);
    sim->ClearReceived();
    ASSERT_TRUE(WaitUntil([&] { return sim->ReceivedCommands().size() >= 30; }));
    EXPECT_TRUE(WaitUntil([this] { return ValuesShown(); }));
    EXPECT_TRUE(window->LinkActive());
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    messages.clear();
    window->HandleMenu(ItemConnect);
    ExpectDisconnectedCleanly();
}

TEST_F(FaultInjectionTest, UserDisconnectsWhileTheAdapterIsSilentOrDropsItsPrompt)
{
    StartLogging();
    for (bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silent" : "no prompt");
        messages.clear();
        ASSERT_TRUE(ConnectAndWait());
        ASSERT_TRUE(WaitUntil([this] { return ValuesShown(); }));
        auto sim = SharedSimulator();
        if (silent) {
            sim->SetSilent(true);
        } else {
            sim->SetMissingPrompt(true);
        }
        sim->ClearReceived();
        // A request is out and its answer will never be complete.
        ASSERT_TRUE(WaitUntil([&] { return !sim->ReceivedCommands().isEmpty(); }));
        messages.clear();
        window->HandleMenu(ItemConnect);
        // The window goes on handling events while the worker waits out the adapter.
        bool handled = false;
        LinkState linkWhenHandled = LinkState::Disconnected;
        QTimer::singleShot(0, window.get(), [&] {
            handled = true;
            linkWhenHandled = window->Session()->linkState();
        });
        ASSERT_TRUE(WaitUntil([&] { return handled; }));
        EXPECT_EQ(linkWhenHandled, LinkState::Disconnecting);
        ExpectDisconnectedCleanly();
        sim->SetSilent(false);
        sim->SetMissingPrompt(false);
    }
    ExpectReconnects();
}

TEST_F(FaultInjectionTest, QuitDuringTheSetUpStillResetsTheAdapter)
{
    StartLogging();
    auto sim = SharedSimulator();
    sim->SetLatencyMs(40);
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([&] { return sim->ReceivedCommands().contains("ATE 0"); }));
    window->StopAll();
    window->SaveOnExit(); // the exit steps after the event loop complete the log
    EXPECT_FALSE(window->WorkerAlive());
    EXPECT_FALSE(window->Session()->workerRunning());
    EXPECT_FALSE(sim->ReceivedCommands().contains("1003"));
    EXPECT_EQ(sim->ReceivedCommands().last(), QByteArray("ATZ"));
    ExpectCsvComplete();
}

} // namespace
} // namespace velmoro::test
