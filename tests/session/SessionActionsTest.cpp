// The actions of the actors list as session jobs against the in-process simulated 11MP: a
// self-learning whose polls run on a hand-driven clock, a Disconnect in the middle of one, and a
// switch the ECU refuses.
#include "ecu/Ecu.h"
#include "link/Clock.h"
#include "session/DiagSession.h"
#include "sim/Simulator.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <vector>

namespace velmoro {
namespace {

using test::WaitUntil;

// Positions in the 11MP actions list.
constexpr int kFuelPump = 0;
constexpr int kIgnitionL1 = 1;
constexpr int kHandleLearning = 8;
constexpr int kThrottleLearning = 9;
constexpr int kPollsOfASelfLearning = 20;
constexpr int kPollMs = 500;

class SessionActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.paths.directory = dir.path() + QStringLiteral("/");
        state.paths.baseName = QStringLiteral("VelmoroCanDiag");
        state.settings.loggingDirectory = state.paths.directory;
        for (auto [key, text] : {std::pair{"View_42", "Fuelpump"},
                                 {"View_43", "Ignition L"},
                                 {"View_59", "Handle self-learning"},
                                 {"View_60", "Throttle self-learning"},
                                 {"View_102", "Ok"},
                                 {"View_103", "Error"},
                                 {"Job_4", "The ECU refused: %1"}})
            state.texts.Set(QString::fromLatin1(key), QString::fromLatin1(text));
        state.link.model = QStringLiteral("Velmoro 1000");
        state.link.ecuId = QStringLiteral("11MP");
        state.link.port = QStringLiteral("Simulator");
        sim = std::make_shared<Simulator>();
        DiagSessionOptions options;
        options.simulator = sim;
        options.retryClock = &clock;
        session = std::make_unique<DiagSession>(state, options);
        QObject::connect(session.get(), &DiagSession::question, session.get(),
                         [this] { session->answerQuestion(); });
        QObject::connect(session.get(), &DiagSession::actionFinished, session.get(),
                         [this](const ActionResult& result) { results.push_back(result); });
    }

    bool ConnectAndWait()
    {
        return session->connectLink({}, {}) &&
               WaitUntil([this] { return session->linkState() == LinkState::Connected; });
    }

    // The next result, with the clock moving on while it is awaited.
    bool NextResult(std::size_t count)
    {
        return WaitUntil([&] {
            clock.AdvanceMs(100);
            return results.size() >= count;
        });
    }

    int Sent(const QByteArray& command) const
    {
        return static_cast<int>(sim->ReceivedCommands().count(command));
    }

    QTemporaryDir dir;
    ManualClock clock;
    CoreState state;
    std::shared_ptr<Simulator> sim;
    std::unique_ptr<DiagSession> session;
    std::vector<ActionResult> results;
};

TEST_F(SessionActionsTest, SelfLearningPollsOnTheClockUntilItEndsAndADisconnectCutsItShort)
{
    ASSERT_TRUE(ConnectAndWait());
    sim->SetRoutineSucceeds(false);

    // The polls are used up: the last one's refusal says how it ended.
    const qint64 startMs = clock.NowMs();
    ASSERT_TRUE(session->startAction(kHandleLearning));
    EXPECT_TRUE(session->actionRunning());
    EXPECT_FALSE(session->startAction(kFuelPump)); // one action at a time
    ASSERT_TRUE(NextResult(1));
    EXPECT_EQ(results[0].kind, KindSelfLearning);
    EXPECT_EQ(results[0].position, kHandleLearning);
    EXPECT_EQ(results[0].ending, JobEnding::Refused);
    EXPECT_EQ(results[0].text, QStringLiteral("Handle self-learning: Error"));
    EXPECT_EQ(Sent("3122"), 1);
    EXPECT_EQ(Sent("3322"), kPollsOfASelfLearning);
    EXPECT_GE(clock.NowMs() - startMs, kPollsOfASelfLearning * kPollMs);
    EXPECT_FALSE(session->actionRunning());

    // A routine that succeeds ends at its first poll.
    sim->SetRoutineSucceeds(true);
    ASSERT_TRUE(session->startAction(kThrottleLearning));
    ASSERT_TRUE(NextResult(2));
    EXPECT_EQ(results[1].ending, JobEnding::Done);
    EXPECT_EQ(results[1].text, QStringLiteral("Throttle self-learning: Ok"));
    EXPECT_EQ(Sent("3323"), 1);

    // Disconnect while the routine waits for its next poll: cut short at once, with the clock
    // standing still, and no further poll.
    sim->SetRoutineSucceeds(false);
    ASSERT_TRUE(session->startAction(kHandleLearning));
    ASSERT_TRUE(sim->WaitForReceived("3122", 15000, 2));
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return results.size() == 3; }));
    EXPECT_EQ(results[2].ending, JobEnding::CutShort);
    EXPECT_EQ(results[2].text, QStringLiteral("Handle self-learning: Error"));
    EXPECT_EQ(Sent("3322"), kPollsOfASelfLearning);
    ASSERT_TRUE(WaitUntil([this] { return session->linkState() == LinkState::Disconnected; }));
    EXPECT_FALSE(session->actionRunning());
}

TEST_F(SessionActionsTest, RefusedSwitchIsSaidAndStillSwitchedOffAndALinkEndForgetsASwitch)
{
    ASSERT_TRUE(ConnectAndWait());
    sim->RefuseRequests(QByteArray::fromHex("300507")); // the fuel pump's on request only

    ASSERT_TRUE(session->startAction(kFuelPump));
    ASSERT_TRUE(WaitUntil([this] { return results.size() == 1; }));
    EXPECT_TRUE(results[0].switchedOn);
    EXPECT_EQ(results[0].ending, JobEnding::Refused);
    EXPECT_EQ(results[0].text, QStringLiteral("The ECU refused: Fuelpump"));
    // The switch counts as on: Stop sends its off request all the same.
    EXPECT_TRUE(session->actionRunning());
    EXPECT_FALSE(session->startAction(kIgnitionL1));
    EXPECT_TRUE(session->stopAction());
    EXPECT_FALSE(session->stopAction());
    ASSERT_TRUE(WaitUntil([this] { return results.size() == 2; }));
    EXPECT_FALSE(results[1].switchedOn);
    EXPECT_EQ(results[1].ending, JobEnding::Done);
    EXPECT_TRUE(results[1].text.isEmpty());
    EXPECT_EQ(Sent("300500"), 1);
    EXPECT_FALSE(session->startAction(99)); // no such entry

    // A switch that is on when the link ends is off with it: no off request afterwards.
    ASSERT_TRUE(session->startAction(kIgnitionL1));
    ASSERT_TRUE(WaitUntil([this] { return results.size() == 3; }));
    EXPECT_EQ(results[2].ending, JobEnding::Done);
    EXPECT_TRUE(sim->ActuatorOn(0x02));
    session->disconnectLink();
    ASSERT_TRUE(WaitUntil([this] { return session->linkState() == LinkState::Disconnected; }));
    EXPECT_FALSE(session->actionRunning());
    EXPECT_FALSE(session->stopAction());
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(session->startAction(kFuelPump));
    ASSERT_TRUE(WaitUntil([this] { return results.size() == 4; }));
    EXPECT_EQ(Sent("300200"), 0);
}

} // namespace
} // namespace velmoro
