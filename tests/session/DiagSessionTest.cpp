// The diagnostic session against the in-process simulated motorcycle: values chosen while passes
// run, link ends during jobs, and a seeded random walk of user commands with its invariants.
#include "session/DiagSession.h"
#include "ecu/Ecu.h"
#include "link/Clock.h"
#include "sim/Simulator.h"
#include "support/SimProcess.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <random>

namespace velmoro {
namespace {

using test::WaitUntil;

class DiagSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.paths.directory = dir.path() + QStringLiteral("/");
        state.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state.settings.loggingDirectory = state.paths.directory;
        state.settings.csv = 1;
        state.settings.logging = 1;
        state.texts.Set(QStringLiteral("Thread_2"), QStringLiteral("Please switch on ignition."));
        state.texts.Set(QStringLiteral("CSV_1"), QStringLiteral("Time in ms"));
        state.link.model = QStringLiteral("Velmoro 850");
        state.link.ecuId = QStringLiteral("MIUG4");
        state.link.port = QStringLiteral("Simulator");
        for (int r = 0; r < kDisplayRows; ++r)
            indices[static_cast<std::size_t>(r)] = r + 1;
        sim = std::make_shared<Simulator>();
        DiagSessionOptions options;
        options.simulator = sim;
        options.retryClock = &retryClock;
        session = std::make_unique<DiagSession>(state, options);
        QObject::connect(session.get(), &DiagSession::question, session.get(),
                         [this] { session->answerQuestion(); });
        QObject::connect(session.get(), &DiagSession::rowsRead, session.get(),
                         [this](const RowsSnapshot& rows) {
                             lastRows = rows;
                             ++passes;
                         });
        QObject::connect(session.get(), &DiagSession::disconnected, session.get(),
                         [this] { ++disconnects; });
    }

    // The settings as the test left them go with the link.
    bool Connect()
    {
        session->applySettings(state);
        return session->connectLink({"a", "b", "c", "d", "e", "f", "g", "h"}, indices);
    }

    // Every CSV log is whole: a header and lines of nine quoted fields, each ended by CR LF.
    void ExpectCompleteCsvLogs()
    {
        const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
        ASSERT_FALSE(files.isEmpty());
        for (const QString& name : files) {
            QFile file(dir.path() + QStringLiteral("/") + name);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray text = file.readAll();
            ASSERT_TRUE(text.endsWith("\r\n")) << name.toStdString();
            for (const QByteArray& line : text.chopped(1).split('\n')) {
                EXPECT_TRUE(line.startsWith('"') && line.endsWith("\"\r")) << line.constData();
                EXPECT_EQ(line.count("\",\""), 8) << line.constData();
            }
        }
    }

    QTemporaryDir dir;
    // The reconnect countdown moves only when a test advances this clock.
    ManualClock retryClock;
    CoreState state;
    std::array<int, 8> indices{};
    std::shared_ptr<Simulator> sim;
    std::unique_ptr<DiagSession> session;
    RowsSnapshot lastRows;
    int passes = 0;
    int disconnects = 0;
};

TEST_F(DiagSessionTest, ValuesChosenWhilePassesRunLandBetweenReadsAndTheLogStaysWhole)
{
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(Connect()); // one link at a time
    ASSERT_TRUE(WaitUntil([this] { return passes >= 1; }));
    EXPECT_EQ(session->linkState(), LinkState::Connected);
    for (int i = 0; i < 40; ++i) {
        session->chooseValue(i % kDisplayRows, 1 + (i * 7) % 30);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 3);
    }
    session->chooseValue(0, 12);
    session->chooseValue(3, 0);
    const int before = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= before + 2; }));
    EXPECT_EQ(lastRows[0].valueIndex, 12);
    EXPECT_EQ(lastRows[3].valueIndex, 0);
    EXPECT_TRUE(lastRows[3].valueText.isEmpty());
    EXPECT_NE(lastRows[0].valueText, QStringLiteral("----"));

    // A report started, then the measurements shown: one after the other, never both at once.
    session->setMeasurementsShown(false);
    QVector<ChooserEntry> offered{{QString(), 0}, {QStringLiteral("RPM"), 2}};
    ASSERT_TRUE(session->buildReport(QStringLiteral("IAW MIUG4"), offered));
    session->setMeasurementsShown(true);
    bool reportDone = false;
    QObject::connect(session.get(), &DiagSession::reportDone, session.get(),
                     [&] { reportDone = true; });
    ASSERT_TRUE(WaitUntil([&] { return reportDone; }, 60000));
    EXPECT_TRUE(session->report().FinishBuild());
    EXPECT_GT(session->report().Count(), 5);
    const int afterReport = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes > afterReport; }));

    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    EXPECT_FALSE(session->workerAlive());
    EXPECT_EQ(session->linkState(), LinkState::Disconnected);
    EXPECT_EQ(sim->ReceivedCommands().last(), QByteArray("ATZ"));
    ExpectCompleteCsvLogs();
}

TEST_F(DiagSessionTest, SettingsAreTheSessionsCopyAndAnotherFamilyWaitsForTheNextLink)
{
    int connects = 0;
    QObject::connect(session.get(), &DiagSession::connected, session.get(), [&] { ++connects; });
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return passes >= 1; }));
    // What the view changes afterwards reaches the session only when it is applied.
    state.link.ecuId = QStringLiteral("11MP");
    state.link.port = QStringLiteral("nowhere");
    ASSERT_TRUE(session->family());
    EXPECT_EQ(session->family()->family(), FamilyMiug4);

    state.link.port = QStringLiteral("Simulator");
    session->applySettings(state);
    // The view learns the new family at once; the link keeps the one it was asked with.
    EXPECT_EQ(session->family()->family(), Family11mp);
    sim->ClearReceived();
    const int before = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= before + 2; }));
    // MIUG4's identifiers 0x10nn, still.
    const QByteArrayList asked = sim->ReceivedCommands();
    EXPECT_TRUE(std::any_of(asked.begin(), asked.end(),
                            [](const QByteArray& c) { return c.startsWith("2210"); }));
    EXPECT_EQ(sim->Family(), kSimFamilyMiug4);
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));

    // The next link speaks to the family the applied settings chose.
    ASSERT_TRUE(session->connectLink({"a", "b", "c", "d", "e", "f", "g", "h"}, indices));
    ASSERT_TRUE(WaitUntil([&] { return connects == 2; }));
    EXPECT_EQ(sim->Family(), kSimFamily11mp);
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 2; }));
}

TEST_F(DiagSessionTest, LinkLostDuringASurveyAndSilentEcuDuringQuitEndCleanly)
{
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return passes >= 1; }));
    ASSERT_TRUE(session->startSurvey());
    ASSERT_TRUE(WaitUntil([this] { return sim->ReceivedCommands().contains("221005"); }));
    sim->Vanish();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    EXPECT_FALSE(session->workerAlive());
    sim->Restore();

    // Connected again with an ECU that stays silent: quitting does not wait for its time-outs
    // to add up, and nothing of the session runs afterwards.
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return session->linkState() == LinkState::Connected; }));
    sim->SetEcuSilent(true);
    session->readFaults();
    session->quit();
    bool stopped = false;
    QObject::connect(session.get(), &DiagSession::stopped, session.get(), [&] { stopped = true; });
    ASSERT_TRUE(WaitUntil([&] { return stopped || !session->workerAlive(); }));
    session->waitStopped();
    EXPECT_FALSE(session->workerAlive());
    EXPECT_FALSE(session->jobRunning());
    EXPECT_FALSE(Connect());
    ExpectCompleteCsvLogs();
}

TEST_F(DiagSessionTest, IgnitionCycleAndLostPortRecoverIntoTheSameRowsAndLog)
{
    state.settings.reconnect = 1;
    int questions = 0;
    int connects = 0;
    QList<int> countdown;
    QObject::connect(session.get(), &DiagSession::question, session.get(), [&] { ++questions; });
    QObject::connect(session.get(), &DiagSession::connected, session.get(), [&] { ++connects; });
    QObject::connect(session.get(), &DiagSession::reconnectCountdown, session.get(),
                     [&](int seconds) { countdown << seconds; });
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return passes >= 2; }));

    // Ignition off and on: the ECU refuses every read until its session is opened again.
    sim->ClearReceived();
    sim->CycleIgnition();
    ASSERT_TRUE(WaitUntil([this] { return lastRows[0].valueText == QStringLiteral("----"); }));
    ASSERT_TRUE(WaitUntil([this] { return lastRows[0].valueText != QStringLiteral("----"); }));
    EXPECT_TRUE(sim->ReceivedCommands().contains("1003"));
    EXPECT_EQ(connects, 1);

    // The port goes away: after a countdown the session tries again, without the prompt. A try
    // that finds no port waits longer before the next; the countdown runs on the session's clock.
    sim->Vanish();
    ASSERT_TRUE(WaitUntil([&] { return !countdown.isEmpty(); }));
    EXPECT_EQ(countdown, QList<int>{2});
    EXPECT_EQ(session->linkState(), LinkState::Reconnecting);
    EXPECT_FALSE(session->workerAlive());
    retryClock.AdvanceMs(1000);
    ASSERT_TRUE(WaitUntil([&] { return countdown.size() == 2; }));
    retryClock.AdvanceMs(1000);
    ASSERT_TRUE(WaitUntil([&] { return countdown.size() == 4; }));
    EXPECT_EQ(countdown, (QList<int>{2, 1, 0, 5}));
    EXPECT_EQ(session->linkState(), LinkState::Reconnecting);
    sim->Restore();
    retryClock.AdvanceMs(1000);
    ASSERT_TRUE(WaitUntil([&] { return countdown.size() == 5; }));
    EXPECT_EQ(connects, 1);
    retryClock.AdvanceMs(4000);
    ASSERT_TRUE(WaitUntil([&] { return connects == 2; }));
    const int resumed = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= resumed + 2; }));
    EXPECT_EQ(countdown, (QList<int>{2, 1, 0, 5, 4, 0}));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(disconnects, 0);
    for (int r = 0; r < kDisplayRows; ++r)
        EXPECT_EQ(lastRows[r].valueIndex, r + 1) << r;
    EXPECT_NE(lastRows[0].valueText, QStringLiteral("----"));

    // Lost again; the user's Disconnect ends the countdown, and no attempt follows.
    sim->Vanish();
    ASSERT_TRUE(WaitUntil([&] { return session->linkState() == LinkState::Reconnecting; }));
    sim->Restore();
    sim->ClearReceived();
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    EXPECT_EQ(session->linkState(), LinkState::Disconnected);
    EXPECT_TRUE(sim->ReceivedCommands().isEmpty());

    // One log for the whole ride, its times running on across the gap.
    ExpectCompleteCsvLogs();
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.path() + QStringLiteral("/") + files.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_GT(lines.size(), passes);
    qint64 last = -1;
    for (const QByteArray& line : lines.mid(1)) {
        const qint64 time = line.mid(1, line.indexOf('"', 1) - 1).toLongLong();
        EXPECT_GE(time, last) << line.constData();
        last = time;
    }
}

TEST_F(DiagSessionTest, TcpAdapterRestartedOnTheSamePortIsFoundAgain)
{
    state.settings.reconnect = 1;
    int connects = 0;
    QObject::connect(session.get(), &DiagSession::connected, session.get(), [&] { ++connects; });
    auto adapter = std::make_unique<test::SimProcess>(QStringList{"--tcp", "0"});
    const QString port = adapter->Address();
    ASSERT_FALSE(port.isEmpty());
    state.link.port = QStringLiteral("127.0.0.1:") + port;
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return passes >= 1; }, 20000));

    adapter.reset(); // the WiFi adapter goes away
    ASSERT_TRUE(WaitUntil([this] { return session->linkState() == LinkState::Reconnecting; }));
    adapter = std::make_unique<test::SimProcess>(QStringList{"--tcp", port});
    ASSERT_EQ(adapter->Address(), port);
    retryClock.AdvanceMs(2000);
    ASSERT_TRUE(WaitUntil([&] { return connects == 2; }, 20000));
    const int resumed = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes > resumed; }, 20000));
    EXPECT_EQ(disconnects, 0);
    EXPECT_NE(lastRows[0].valueText, QStringLiteral("----"));

    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    EXPECT_TRUE(adapter->Received("ATZ", 2).count("ATZ") >= 2) << "set-up, then the reset";
    ExpectCompleteCsvLogs();
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.csv")}).size(), 1);
}

// Requests the simulated adapter received with the response-count digit since it was cleared.
int CountedRequests(Simulator& sim)
{
    const QByteArrayList commands = sim.ReceivedCommands();
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [](const QByteArray& c) { return c.endsWith(" 1"); }));
}

TEST_F(DiagSessionTest, FastRefreshKeepsValuesInTheirRowsAndFallsBackUntilTheNextConnect)
{
    state.settings.fastRefresh = 1;
    // A frozen engine answers every identifier with the same bytes: a value in a wrong row shows.
    sim->SetEngineTimeMs(90000);
    int ended = 0;
    QList<RowsSnapshot> seen;
    QObject::connect(session.get(), &DiagSession::fastRefreshEnded, session.get(),
                     [&] { ++ended; });
    QObject::connect(session.get(), &DiagSession::rowsRead, session.get(),
                     [&](const RowsSnapshot& rows) { seen << rows; });
    ASSERT_TRUE(Connect());
    // Once the engine speed's smoothing has settled.
    ASSERT_TRUE(WaitUntil([this] { return passes >= 40; }));
    const RowsSnapshot reference = lastRows;
    QStringList texts;
    for (int r = 0; r < kDisplayRows; ++r) {
        EXPECT_NE(reference[r].valueText, QStringLiteral("----")) << r;
        texts << reference[r].valueText;
    }
    texts.removeDuplicates();
    ASSERT_GE(texts.size(), 6) << "rows too alike to tell a misplaced value";

    // Answers that come after the time-out: the request shows no data, the late answer is passed
    // over, every other value stays in its row, and one time-out alone keeps the pace.
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        sim->DelayAnswers(1, 1100);
        const int before = passes;
        ASSERT_TRUE(WaitUntil([&] { return passes >= before + 3; }));
    }
    int misses = 0;
    for (const RowsSnapshot& rows : seen) {
        for (int r = 0; r < kDisplayRows; ++r) {
            if (rows[r].valueText == QStringLiteral("----"))
                ++misses;
            else
                EXPECT_EQ(rows[r].valueText, reference[r].valueText) << "row " << r;
        }
    }
    EXPECT_LE(misses, 3);
    EXPECT_EQ(ended, 0);
    sim->ClearReceived();
    ASSERT_TRUE(WaitUntil([&] { return CountedRequests(*sim) >= kDisplayRows; }));

    // Two bad answers in a row: the normal pace and plain requests for the rest of the link.
    sim->InjectAdapterMessage("CAN ERROR", 2);
    ASSERT_TRUE(WaitUntil([&] { return ended == 1; }));
    sim->ClearReceived();
    const int after = passes;
    ASSERT_TRUE(WaitUntil([&] { return passes >= after + 2; }));
    EXPECT_EQ(CountedRequests(*sim), 0);
    EXPECT_EQ(lastRows[0].valueText, reference[0].valueText);

    // The next connect tries fast again.
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return CountedRequests(*sim) >= kDisplayRows; }));
    EXPECT_EQ(ended, 1);
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 2; }));
    ExpectCompleteCsvLogs();
}

TEST_F(DiagSessionTest, FastRefreshLogsEveryPassOfTenThousand)
{
    state.settings.fastRefresh = 1;
    sim->SetEngineTimeMs(90000);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([this] { return passes >= 10000; }, 600000));
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return disconnects == 1; }));
    EXPECT_GT(CountedRequests(*sim), 10000);

    // One line for each pass shown, each whole, all alike but for the time, which never runs
    // backwards.
    ExpectCompleteCsvLogs();
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
    ASSERT_EQ(files.size(), 1);
    QFile file(dir.path() + QStringLiteral("/") + files.first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().trimmed().split('\n').mid(1);
    ASSERT_EQ(lines.size(), passes);
    for (QByteArray& line : lines)
        line = line.trimmed();
    const QByteArray values = lines.last().mid(lines.last().indexOf(','));
    EXPECT_FALSE(values.contains("----"));
    qint64 last = -1;
    int alike = 0;
    for (const QByteArray& line : lines) {
        const qint64 time = line.mid(1, line.indexOf('"', 1) - 1).toLongLong();
        EXPECT_GE(time, last);
        last = time;
        alike += line.mid(line.indexOf(',')) == values ? 1 : 0;
    }
    // The first passes may differ while the engine speed's smoothing settles.
    EXPECT_GE(alike, passes - 5);
}

TEST_F(DiagSessionTest, SeededRandomWalkOfUserCommandsKeepsTheSessionConsistent)
{
    std::mt19937 random(20261208);
    int reportsAsked = 0;
    for (int step = 0; step < 500; ++step) {
        switch (random() % 11) {
        case 0:
            Connect();
            break;
        case 1:
            session->disconnectLink();
            break;
        case 2:
            session->setMeasurementsShown(random() % 2 == 0);
            break;
        case 3:
        case 4:
            session->chooseValue(static_cast<int>(random() % kDisplayRows),
                                 static_cast<int>(random() % 40));
            break;
        case 5:
            session->readFaults();
            break;
        case 6:
            session->clearFaults();
            break;
        case 7:
            if (session->buildReport(QStringLiteral("IAW MIUG4"), {}))
                ++reportsAsked;
            break;
        case 8:
            if (session->linkState() == LinkState::Connected && !session->surveyRunning())
                session->startSurvey();
            break;
        case 9:
            // Positions past the list's end are refused.
            if (random() % 2 == 0)
                session->startAction(static_cast<int>(random() % 16));
            else
                session->stopAction();
            break;
        default:
            WaitUntil([] { return false; }, static_cast<int>(random() % 30));
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        // One worker at most, and only while a link is up or ending.
        if (session->linkState() == LinkState::Disconnected) {
            ASSERT_FALSE(session->workerAlive()) << "step " << step;
        }
    }
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return session->linkState() == LinkState::Disconnected; }));
    EXPECT_FALSE(session->workerAlive());
    session->waitStopped();
    EXPECT_FALSE(session->jobRunning());
    EXPECT_GT(reportsAsked, 0);
    ExpectCompleteCsvLogs();
}

} // namespace
} // namespace velmoro
