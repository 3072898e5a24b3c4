// Connect, disconnect, link loss and quitting against the in-process simulated motorcycle.
#include "ShellFixture.h"

#include "ui/DiagramWindow.h"
#include "ui/Views.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace velmoro::test {
namespace {

class ConnectionTest : public ShellFixture {
protected:
    void StartWith(const QString& model, std::map<QString, QString> extra = {})
    {
        std::map<QString, QString> keys{{"Port", "Simulator"},
                                        {"Modell", model},
                                        {"Language", "English"},
                                        {"Value1", "RPM"},
                                        {"Value2", "Voltage"}};
        for (auto& [k, v] : extra)
            keys[k] = v;
        WriteSettings(keys);
        Start();
    }

    QStringList EcuLines() const
    {
        return window->Measurements()->ecuInfoText->toPlainText().split(QLatin1Char('\n'));
    }

    QString ignitionPrompt() { return state.texts.Text(QStringLiteral("Thread_2")); }
};

TEST_F(ConnectionTest, Miug4ConnectsAfterTheIgnitionPromptAndDisconnects)
{
    StartWith(QStringLiteral("Velmoro 850"));
    ASSERT_TRUE(ConnectAndWait());

    // The ignition prompt was shown (and answered) through the worker message.
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.front().second.startsWith(ignitionPrompt()));
    EXPECT_EQ(messages.front().first, QStringLiteral("VelmoroCanDiag V0.02"));

    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    // Invented values are never shown as measured ones.
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Simulated"));
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("VelmoroCanDiag V0.02 \u2013 Simulator: the values are invented, not "
                             "measured"));
    EXPECT_TRUE(window->MenuItem(ItemConnect)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemPreferences)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemEcuRead)->isEnabled());
    EXPECT_TRUE(window->MenuItem(ItemFaults)->isEnabled());
    EXPECT_TRUE(window->Measurements()->readAllButton->isEnabled());
    EXPECT_TRUE(window->Faults()->readButton->isEnabled());

    ASSERT_TRUE(WaitUntil([this] { return EcuLines().size() >= 3; }));
    const QStringList lines = EcuLines();
    EXPECT_EQ(lines.front(), QStringLiteral("IAW MIUG4"));
    // The hex line of the identification record: four bytes as "0102.03.04".
    bool hexLine = false;
    for (const QString& line : lines)
        hexLine = hexLine ||
                  QRegularExpression(QStringLiteral("^[0-9A-F]{4}\\.[0-9A-F]{2}\\.[0-9A-F]{2}$"))
                      .match(line)
                      .hasMatch();
    EXPECT_TRUE(hexLine) << lines.join(QLatin1Char('|')).toStdString();

    // Values arrive and the diagram moves while connected.
    auto* view = window->Measurements();
    ASSERT_TRUE(WaitUntil([&] {
        return view->valueTexts[0]->text() != QStringLiteral("----") &&
               !view->valueTexts[0]->text().isEmpty();
    }));
    EXPECT_NE(window->Diagram()->LegendText(0), QString());

    messages.clear();
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] { return CountMessages(QStringLiteral("Ignition off")) == 1; }));
    EXPECT_FALSE(window->Session()->workerRunning());
    EXPECT_FALSE(window->WorkerAlive());
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
    EXPECT_TRUE(window->MenuItem(ItemPreferences)->isEnabled());
    EXPECT_TRUE(window->MenuItem(ItemEcuRead)->isEnabled());
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("VelmoroCanDiag V0.02"));
    EXPECT_FALSE(window->Faults()->readButton->isEnabled());
    EXPECT_FALSE(window->Measurements()->readAllButton->isEnabled());
    EXPECT_EQ(view->valueTexts[0]->text(), QStringLiteral("----"));
    EXPECT_EQ(SharedSimulator()->ReceivedCommands().last(), QByteArray("ATZ"));

    // Connecting again works with fresh threads.
    messages.clear();
    ASSERT_TRUE(ConnectAndWait());
}

TEST_F(ConnectionTest, Family11mpShowsItsIdentificationLines)
{
    StartWith(QStringLiteral("Velmoro 1000"));
    ASSERT_EQ(state.link.family, Family11mp);
    ASSERT_TRUE(ConnectAndWait());
    EXPECT_EQ(SharedSimulator()->Family(), kSimFamily11mp);
    ASSERT_TRUE(WaitUntil([this] { return EcuLines().size() >= 2; }));
    EXPECT_TRUE(EcuLines().front().startsWith(QStringLiteral("IAW 11MP")));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    // Both families clear faults, so the stored list and Clear are shown; the diagram item follows
    // the measurements view.
    window->HandleMenu(ItemFaults);
    EXPECT_TRUE(window->Faults()->clearButton->isVisible());
    EXPECT_FALSE(window->MenuItem(ItemDiagram)->isEnabled());
}

TEST_F(ConnectionTest, Miug4RefusingIdentificationEndsInIgnitionOffAndNamesTheStep)
{
    StartWith(QStringLiteral("Velmoro 850"));
    const QString logField = window->StatusText(2);
    SharedSimulator()->SetEcuSilent(true);
    window->HandleMenu(ItemConnect);
    // The attempt can be stopped from the first moment.
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(window->MenuItem(ItemConnect)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ItemPreferences)->isEnabled());
    // The ECU is what stayed silent: "Ignition off", then the step in plain words, whole.
    const QString box = QStringLiteral(
        "Ignition off\n\nThe adapter works but the ECU did not answer (NO DATA): ignition on? The "
        "right motorcycle? The diagnostic connector?");
    ASSERT_TRUE(WaitUntil([&] { return CountMessages(box) == 1; }));
    ASSERT_TRUE(WaitUntil([this] { return window->MenuItem(ItemConnect)->isEnabled(); }));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
    EXPECT_TRUE(window->MenuItem(ItemPreferences)->isEnabled());
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    EXPECT_FALSE(window->LinkActive());
    EXPECT_TRUE(WaitUntil([this] { return !window->WorkerAlive(); }));
    // The status bar's log field holds the first line, all of it in the tool tip.
    const QString shown = window->StatusText(2);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("The adapter works but the ECU did not answer")));
    int whole = 0;
    for (QLabel* label : window->findChildren<QLabel*>())
        whole += label->text() == shown && label->toolTip().endsWith("The diagnostic connector?");
    EXPECT_EQ(whole, 1);
    EXPECT_EQ(CountMessages(box), 1);

    // The next connect puts back what the log field showed.
    SharedSimulator()->SetEcuSilent(false);
    ASSERT_TRUE(ConnectAndWait());
    EXPECT_EQ(window->StatusText(2), logField);
}

TEST_F(ConnectionTest, ConnectingShowsEachStepAndCanBeStopped)
{
    StartWith(QStringLiteral("Velmoro 850"));
    QStringList steps;
    QObject::connect(window->Session(), &DiagSession::connectProgress, window.get(),
                     [&](ConnectStep, const QString& text) { steps << text; });
    ASSERT_TRUE(ConnectAndWait());
    // Each step as the worker and the identification reach it, in order.
    QStringList expected{QStringLiteral("Opening the port")};
    for (int n = 1; n <= kAdapterSetUpSteps; ++n)
        expected << QStringLiteral("Adapter set-up %1 of 7").arg(n);
    expected << QStringLiteral("Opening the ECU session")
             << QStringLiteral("Reading the identification");
    steps.removeDuplicates(); // the identity question may take two commands
    EXPECT_EQ(steps, expected);
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] { return !window->LinkActive() && !window->WorkerAlive(); }));
    ASSERT_TRUE(WaitUntil([this] { return window->MenuItem(ItemConnect)->isEnabled(); }));

    // Slow answers: the user stops the attempt in the middle of the adapter set-up.
    SharedSimulator()->SetLatencyMs(150);
    SharedSimulator()->ClearReceived();
    messages.clear();
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] {
        return window->StatusText(1).startsWith(QStringLiteral("Adapter set-up 3 of 7"));
    }));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] {
        return window->MenuItem(ItemConnect)->isEnabled() &&
               window->MenuItem(ItemConnect)->text() == QStringLiteral("Connect");
    }));
    EXPECT_FALSE(window->WorkerAlive());
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    const QByteArrayList received = SharedSimulator()->ReceivedCommands();
    EXPECT_FALSE(received.contains("1003")) << "the set-up was left";
    EXPECT_EQ(received.last(), QByteArray("ATZ")) << "the adapter had answered: it is reset";
    EXPECT_TRUE(window->MenuItem(ItemPreferences)->isEnabled());
    // Stopped by the user, nothing failed: only the usual message of a disconnect.
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(CountMessages(QStringLiteral("Ignition off")), 1);

    // The window is ready for the next attempt at once.
    SharedSimulator()->SetLatencyMs(0);
    messages.clear();
    ASSERT_TRUE(ConnectAndWait());
}

TEST_F(ConnectionTest, AFailedPortOrAdapterIsNamedInTheBoxWithoutIgnitionOff)
{
    options.session.workerTimings.adapterTimeoutMs = 60;
    StartWith(QStringLiteral("Velmoro 850"));

    SharedSimulator()->Vanish();
    window->HandleMenu(ItemConnect);
    const QString unplugged =
        QStringLiteral("Port Simulator could not be opened: the simulated adapter is unplugged");
    ASSERT_TRUE(WaitUntil([&] { return CountMessages(unplugged) == 1; }));
    ASSERT_TRUE(WaitUntil([this] { return window->MenuItem(ItemConnect)->isEnabled(); }));
    SharedSimulator()->Restore();

    SharedSimulator()->SetSilent(true);
    SharedSimulator()->ClearReceived();
    window->HandleMenu(ItemConnect);
    const QString silent = QStringLiteral(
        "The adapter did not answer: check the cable, its power and (Bluetooth) the pairing");
    ASSERT_TRUE(WaitUntil([&] { return CountMessages(silent) == 1; }));
    ASSERT_TRUE(WaitUntil([this] { return window->MenuItem(ItemConnect)->isEnabled(); }));
    EXPECT_EQ(CountMessages(QStringLiteral("Ignition off")), 0);
    // Nothing ever answered: the reset would only have waited for its time-out.
    EXPECT_EQ(SharedSimulator()->ReceivedCommands().count("ATZ"), 1) << "only the set-up's";
    SharedSimulator()->SetSilent(false);
}

TEST_F(ConnectionTest, DisconnectWhileARequestIsPending)
{
    StartWith(QStringLiteral("Velmoro 850"));
    ASSERT_TRUE(ConnectAndWait());
    // Slow answers: a request of the running pass is in flight when the user disconnects.
    SharedSimulator()->SetLatencyMs(400);
    SharedSimulator()->ClearReceived();
    ASSERT_TRUE(WaitUntil([] { return !SharedSimulator()->ReceivedCommands().isEmpty(); }));
    messages.clear();
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] { return CountMessages(QStringLiteral("Ignition off")) == 1; }));
    EXPECT_FALSE(window->WorkerAlive());
    EXPECT_EQ(SharedSimulator()->ReceivedCommands().last(), QByteArray("ATZ"));
    // Late events of the stopped pass change nothing and start no new pass.
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(CountMessages(QStringLiteral("Ignition off")), 1);
    EXPECT_EQ(window->Measurements()->valueTexts[0]->text(), QStringLiteral("----"));
}

TEST_F(ConnectionTest, LostPortRunsTheDisconnectPath)
{
    StartWith(QStringLiteral("Velmoro 850"));
    ASSERT_TRUE(ConnectAndWait());
    messages.clear();
    SharedSimulator()->Vanish();
    ASSERT_TRUE(WaitUntil([this] { return CountMessages(QStringLiteral("Ignition off")) == 1; }));
    SharedSimulator()->Restore();
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    EXPECT_FALSE(window->WorkerAlive());
}

TEST_F(ConnectionTest, LostPortIsTriedAgainWhenReconnectingIsOn)
{
    StartWith(QStringLiteral("Velmoro 850"));
    state.settings.reconnect = 1; // as the Extras tab's check box sets it
    ASSERT_TRUE(ConnectAndWait());
    const QString logField = window->StatusText(2);
    messages.clear();
    SharedSimulator()->Vanish();
    ASSERT_TRUE(WaitUntil([this] {
        return window->StatusText(2).startsWith(QStringLiteral("Link lost: connecting again in"));
    }));
    // Counting down: the values show dashes, the link is not called connected, and Disconnect
    // stays at hand.
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Disconnected"));
    EXPECT_EQ(window->Measurements()->valueTexts[0]->text(), QStringLiteral("----"));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(window->MenuItem(ItemConnect)->isEnabled());
    EXPECT_FALSE(window->Faults()->readButton->isEnabled());
    SharedSimulator()->Restore();
    ASSERT_TRUE(
        WaitUntil([this] { return window->StatusText(1) == QStringLiteral("Simulated"); }, 20000));
    EXPECT_EQ(window->StatusText(2), logField);
    EXPECT_TRUE(messages.empty()) << "no ignition prompt, no ignition-off message";
    ASSERT_TRUE(WaitUntil([this] {
        return window->Measurements()->valueTexts[0]->text() != QStringLiteral("----");
    }));

    // Lost again, and the user disconnects during the countdown.
    SharedSimulator()->Vanish();
    ASSERT_TRUE(
        WaitUntil([this] { return window->StatusText(1) == QStringLiteral("Disconnected"); }));
    SharedSimulator()->Restore();
    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] { return CountMessages(QStringLiteral("Ignition off")) == 1; }));
    EXPECT_EQ(window->MenuItem(ItemConnect)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(window->WorkerAlive());
}

TEST_F(ConnectionTest, QuitWhileConnectedWaitsForTheWorkerAndSavesSettings)
{
    StartWith(QStringLiteral("Velmoro 850"), {{"WindowX", "123"}, {"WindowY", "77"}});
    ASSERT_TRUE(ConnectAndWait());
    // The user picks a value in chooser 3.
    QComboBox* box = window->Measurements()->choosers[2];
    const int voltage = box->findText(QStringLiteral("Voltage"));
    ASSERT_GT(voltage, 0);
    box->setCurrentIndex(voltage);
    emit box->activated(voltage);

    SharedSimulator()->ClearReceived();
    bool quitRequested = false;
    QObject::connect(window.get(), &MainWindow::quitRequested, [&] { quitRequested = true; });
    window->StopAll();
    ASSERT_TRUE(WaitUntil([&] { return quitRequested; }));
    EXPECT_FALSE(window->WorkerAlive());
    EXPECT_FALSE(window->Session()->workerRunning());
    EXPECT_EQ(SharedSimulator()->ReceivedCommands().last(), QByteArray("ATZ"));
    EXPECT_FALSE(window->SaveOnExit());

    QFile file(paths.SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains("\r\nWindowX = 123\r\n")) << saved.left(400).toStdString();
    EXPECT_TRUE(saved.contains("\r\nWindowY = 77\r\n"));
    EXPECT_TRUE(saved.contains("\r\nValue1 = RPM\r\n"));
    EXPECT_TRUE(saved.contains("\r\nValue3 = Voltage\r\n"));
    EXPECT_TRUE(saved.contains("\r\nWindowFactor = 1.000000\r\n"));
    EXPECT_TRUE(saved.contains("\r\nPort = Simulator\r\n"));
    EXPECT_TRUE(saved.contains("\r\nModell = Velmoro 850\r\n"));
    EXPECT_TRUE(saved.contains("\r\nSlowInit = 0\r\n"));
}

TEST_F(ConnectionTest, RestartAfterWindowOptionChangeSavesPositionZero)
{
    StartWith(QStringLiteral("Velmoro 850"), {{"WindowX", "123"}, {"WindowY", "77"}});
    state.restartPending = 1;
    window->StopAll();
    EXPECT_TRUE(window->SaveOnExit());
    QFile file(paths.SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains("\r\nWindowX = 0\r\n"));
    EXPECT_TRUE(saved.contains("\r\nWindowY = 0\r\n"));
}

TEST_F(ConnectionTest, CsvFileHoldsEveryLineBeforeDisconnect)
{
    StartWith(QStringLiteral("Velmoro 850"),
              {{"CSV", "1"}, {"Logging", "1"}, {"LoggingDirectory", dir.path() + "/"}});
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(window->Csv().IsOpen());
    const QString name = window->Csv().FileName();
    auto lines = [&] {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        QList<QByteArray> all = file.readAll().split('\n');
        all.removeAll(QByteArray());
        return all;
    };
    ASSERT_TRUE(WaitUntil([&] { return lines().size() >= 4; }));
    const QList<QByteArray> before = lines();
    EXPECT_TRUE(before.front().startsWith("\"Time in ms\",\"RPM\",\"Voltage\""));
    EXPECT_TRUE(before[1].endsWith("\r"));

    window->HandleMenu(ItemConnect);
    ASSERT_TRUE(WaitUntil([this] { return !window->LinkActive() && !window->WorkerAlive(); }));
    ASSERT_TRUE(WaitUntil([this] { return !window->Csv().IsOpen(); }));
    const QList<QByteArray> after = lines();
    ASSERT_GE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        EXPECT_EQ(after[i], before[i]);
    EXPECT_FALSE(window->Csv().IsOpen());
    // The debug log was created for this connection.
    EXPECT_FALSE(QDir(dir.path()).entryList({QStringLiteral("VelmoroCanDiag_*.log")}).isEmpty());
}

} // namespace
} // namespace velmoro::test
