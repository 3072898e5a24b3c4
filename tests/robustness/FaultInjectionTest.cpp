// The core under adapter faults and user disconnects: every case ends connected or cleanly
// disconnected, with no thread left running and a complete CSV log.
#include "Session.h"

#include <gtest/gtest.h>

namespace velmoro::robust {
namespace {

// A fresh connection over the same simulator comes up and reads values: nothing was left stuck.
void ExpectReconnects(Session& s)
{
    s.sim->Restore();
    s.sim->SetSilent(false);
    s.Connect();
    ASSERT_TRUE(s.Settle());
    const int before = s.Passes();
    s.StartRefresh();
    ASSERT_TRUE(s.WaitForPasses(before + 1));
    EXPECT_FALSE(AllUnread(s.LastValues()));
    s.Disconnect();
}

enum class Misbehaviour { Silent, Garbage, MissingPrompt, LateAnswers };

// Passes go on through the misbehaviour; once it ends, every value is read again for its own
// row; the user's disconnect then ends the link cleanly.
void PassesGoOnAndValuesComeBackInStep(Misbehaviour misbehaviour)
{
    Session s;
    s.sim->SetEngineTimeMs(5000); // the same value every pass
    s.Connect();
    ASSERT_TRUE(s.Settle());
    s.StartRefresh();
    ASSERT_TRUE(s.WaitForPasses(6));
    const auto earlier = s.LastValues();
    ASSERT_TRUE(s.WaitForPasses(s.Passes() + 1));
    const auto baseline = s.LastValues();
    ASSERT_FALSE(AllUnread(baseline));

    const int injectedAt = s.Passes();
    switch (misbehaviour) {
    case Misbehaviour::Silent:
        s.sim->SetSilent(true);
        break;
    case Misbehaviour::Garbage:
        s.sim->SetGarbage(true);
        break;
    case Misbehaviour::MissingPrompt:
        s.sim->SetMissingPrompt(true);
        break;
    case Misbehaviour::LateAnswers:
        // Later than the adapter time-out: the answers arrive while later requests wait.
        s.sim->DelayAnswers(3, s.options_.timings.adapterTimeoutMs + 150);
        break;
    }
    // The second pass after the injection runs entirely under it.
    ASSERT_TRUE(s.WaitForPasses(injectedAt + 2));
    if (misbehaviour == Misbehaviour::Silent) {
        EXPECT_TRUE(AllUnread(s.LastValues()));
    }
    s.sim->SetSilent(false);
    s.sim->SetGarbage(false);
    s.sim->SetMissingPrompt(false);

    // Whatever arrived late or as junk is behind us after a few passes: every value that was
    // steady before is read again for its own row, not for a neighbour's request.
    const int restoredAt = s.Passes();
    ASSERT_TRUE(s.WaitForPasses(restoredAt + 4));
    const auto after = s.LastValues();
    for (int r = 0; r < kDisplayRows; ++r) {
        if (earlier[r] == baseline[r]) {
            EXPECT_EQ(after[r], baseline[r]) << "row " << r;
        }
    }
    EXPECT_EQ(s.state.flags.workerState.load(), kWorkerRunning);
    EXPECT_EQ(s.ui.LinkLostCount(), 0);
    EXPECT_EQ(s.ui.DisconnectRequests(), 0);

    s.Disconnect();
    ExpectCleanlyDisconnected(s);
    EXPECT_EQ(s.sim->ReceivedCommands().last(), QByteArray("ATZ"));
}

class MisbehavingAdapterTest : public ::testing::TestWithParam<Misbehaviour> {};

TEST_P(MisbehavingAdapterTest, PassesGoOnAndValuesComeBackInStep)
{
    PassesGoOnAndValuesComeBackInStep(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingAdapterTest,
                         ::testing::Values(Misbehaviour::Silent, Misbehaviour::Garbage,
                                           Misbehaviour::MissingPrompt));

// An answer that comes after the adapter time-out must not be taken as the answer to the next
// request: every later answer would stay one request behind, with values in the wrong rows.
TEST(MisbehavingAdapterLateTest, LateAnswersDoNotShiftValuesIntoOtherRows)
{
    PassesGoOnAndValuesComeBackInStep(Misbehaviour::LateAnswers);
}

TEST(FaultInjectionTest, AdapterVanishingAtAnyMomentEndsTheLinkCleanly)
{
    // During the ignition prompt: nothing can be sent, the connect thread asks to disconnect.
    {
        Session s;
        s.ui.Hold(true);
        s.Connect();
        ASSERT_TRUE(s.ui.WaitForPrompt());
        s.sim->Vanish();
        s.ui.Hold(false);
        EXPECT_FALSE(s.Settle());
        ExpectCleanlyDisconnected(s);
        ExpectReconnects(s);
    }
    // During the adapter set-up.
    {
        SessionOptions options;
        options.latencyMs = 40;
        Session s(options);
        s.Connect();
        ASSERT_TRUE(s.sim->WaitForReceived("ATE 0", kHangMs));
        s.sim->Vanish();
        EXPECT_FALSE(s.Settle());
        ExpectCleanlyDisconnected(s);
        EXPECT_EQ(s.ui.Connections(), 0);
        ExpectReconnects(s);
    }
    // During a measurement pass: the worker reports the lost link once, passes stop.
    {
        Session s;
        s.Connect();
        ASSERT_TRUE(s.Settle());
        s.StartRefresh();
        ASSERT_TRUE(s.WaitForPasses(2));
        s.sim->Vanish();
        ASSERT_TRUE(s.ui.WaitForLinkLost());
        s.Disconnect();
        EXPECT_EQ(s.ui.LinkLostCount(), 1);
        ExpectCleanlyDisconnected(s);
        ExpectReconnects(s);
    }
}

TEST(FaultInjectionTest, UserDisconnectingAtAnyMomentEndsTheLinkCleanly)
{
    // Quitting while the ignition prompt is open: no set-up command reaches the adapter.
    {
        Session s;
        s.ui.Hold(true);
        s.Connect();
        ASSERT_TRUE(s.ui.WaitForPrompt());
        s.state.channel.Stop();
        s.ui.Hold(false);
        s.Disconnect();
        ExpectCleanlyDisconnected(s);
        for (const QByteArray& command : s.sim->ReceivedCommands()) {
            EXPECT_EQ(command, QByteArray("ATZ"));
        }
        ExpectReconnects(s);
    }
    // During the adapter set-up: the worker leaves it and still resets the adapter.
    {
        SessionOptions options;
        options.latencyMs = 40;
        Session s(options);
        s.Connect();
        ASSERT_TRUE(s.sim->WaitForReceived("ATE 0", kHangMs));
        s.Disconnect();
        ExpectCleanlyDisconnected(s);
        EXPECT_FALSE(s.sim->ReceivedCommands().contains("1003"));
        EXPECT_EQ(s.sim->ReceivedCommands().last(), QByteArray("ATZ"));
        EXPECT_EQ(s.ui.Connections(), 0);
        ExpectReconnects(s);
    }
    // While a request is pending: its caller gets -1 and the adapter is reset.
    {
        Session s;
        s.Connect();
        ASSERT_TRUE(s.Settle());
        s.sim->SetLatencyMs(150);
        int pendingResult = 0;
        BoundedThread caller;
        caller.Start([&] { pendingResult = s.state.channel.Exchange({0x22, 0x10, 0x80}).result; });
        ASSERT_TRUE(s.sim->WaitForReceived("221080", kHangMs, 2)); // the first came from Connect
        s.Disconnect();
        caller.Join("pending caller");
        EXPECT_EQ(pendingResult, kExchangeNotConnected);
        EXPECT_EQ(s.sim->ReceivedCommands().last(), QByteArray("ATZ"));
        ExpectCleanlyDisconnected(s);
        ExpectReconnects(s);
    }
    // While the adapter has gone silent in the middle of the passes.
    {
        Session s;
        s.Connect();
        ASSERT_TRUE(s.Settle());
        s.StartRefresh();
        ASSERT_TRUE(s.WaitForPasses(1));
        s.sim->SetSilent(true);
        s.Disconnect();
        ExpectCleanlyDisconnected(s);
        ExpectReconnects(s);
    }
}

} // namespace
} // namespace velmoro::robust
