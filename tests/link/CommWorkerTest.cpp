// The communication worker and Exchange against the in-process simulated adapter.
#include "link/CommWorker.h"
#include "link/AnswerParser.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <future>

namespace velmoro {
namespace {

using test::kHangMs;
using test::SetUpCommands;
using test::WorkerHarness;

ExchangeResult ExchangeAsync(RequestChannel& channel, std::vector<std::uint8_t> request,
                             std::future<ExchangeResult>& out)
{
    out = std::async(std::launch::async, [&channel, request] {
        return channel.Exchange(request.data(), static_cast<int>(request.size()));
    });
    return {};
}

class InitSequenceTest : public ::testing::TestWithParam<const char*> {};

TEST_P(InitSequenceTest, SendsTheSetUpAfterThePromptAndResetsOnStop)
{
    const QByteArray identity = GetParam();
    SimulatorOptions options;
    options.identity = identity == "stn"     ? AdapterIdentity::Stn
                       : identity == "vgate" ? AdapterIdentity::Vgate
                                             : AdapterIdentity::Elm327Clone;
    WorkerHarness h(std::make_shared<Simulator>(options));

    // Nothing is sent while the prompt is open.
    h.ui.Hold(true);
    ASSERT_TRUE(h.Start(false));
    ASSERT_TRUE(h.ui.WaitForMessage());
    EXPECT_EQ(h.ui.Messages(), QStringList{"Please switch on ignition.\n      Then press Ok."});
    EXPECT_TRUE(h.sim->ReceivedBytes().isEmpty());
    EXPECT_EQ(h.flags.workerState.load(), kWorkerStarting);
    h.ui.Hold(false);
    ASSERT_TRUE(h.flags.WaitForWorkerState([](int s) { return s == kWorkerRunning; }, kHangMs));

    const QByteArrayList expected = SetUpCommands(identity);
    EXPECT_EQ(h.sim->ReceivedCommands(), expected);
    EXPECT_EQ(h.sim->ReceivedBytes(), expected.join('\r') + '\r');
    EXPECT_EQ(h.flags.stopFlag.load(), 0);

    // One log line per exchange, with the adapter's answer (echo still on for ATE 0).
    const auto log = h.Log();
    ASSERT_EQ(log.size(), expected.size());
    EXPECT_EQ(log[2].command, QByteArray("ATE 0"));
    EXPECT_EQ(log[2].answer, QByteArray("ATE 0\rOK\r\r"));
    EXPECT_EQ(log.last().answer, QByteArray("50 03 00 32 01 F4 \r\r"));

    h.Stop();
    EXPECT_EQ(h.flags.workerState.load(), kWorkerStopped);
    EXPECT_EQ(h.sim->ReceivedCommands().last(), QByteArray("ATZ"));
    EXPECT_EQ(h.ui.LinkLostCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Adapters, InitSequenceTest, ::testing::Values("elm", "stn", "vgate"));

TEST(CommWorkerTest, MakerTextsAreMatchedCaseSensitively)
{
    // An adapter that shouts its maker's name is not taken for that maker.
    ManualClock clock;
    QByteArray written;
    WorkerHarness h(std::make_shared<Simulator>(), &clock);
    h.realPortName = QStringLiteral("scripted");
    h.portFactory = [&clock, &written](const QString&) {
        auto port = std::make_unique<test::ScriptedPort>(clock);
        test::ScriptedPort* raw = port.get();
        port->onWrite = [&clock, &written, raw](const QByteArray& bytes) {
            written += bytes;
            raw->Arrive(clock.NowMs() + 5, bytes == "STMFR\r"    ? "OBD SOLUTIONS LLC\r\r>"
                                           : bytes == "VTPROI\r" ? "VGATE\r\r>"
                                                                 : "OK\r\r>");
        };
        return port;
    };
    ASSERT_TRUE(h.Start());
    h.Stop();
    EXPECT_TRUE(written.contains("\rVTPROI\rATSP 6\rATSH 7A0\r"));
    EXPECT_FALSE(written.contains("STP 33"));
}

TEST(CommWorkerTest, PortThatCannotBeOpenedEndsAtOnceWithoutPrompt)
{
    WorkerHarness h;
    h.openFails = true;
    ASSERT_FALSE(h.Start());
    h.Join();
    EXPECT_EQ(h.flags.workerState.load(), kWorkerStopped);
    EXPECT_TRUE(h.ui.Messages().isEmpty());
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
}

// Two set-up commands without so much as a prompt name the adapter silent; the worker ends
// without waiting out the rest of the set-up and without a reset for nobody.
TEST(CommWorkerTest, SilentAdapterEndsTheSetUpAfterTwoUnansweredCommands)
{
    WorkerHarness h;
    h.sim->SetSilent(true);
    CommWorkerTimings timings;
    timings.adapterTimeoutMs = 15;
    EXPECT_FALSE(h.Start(true, timings));
    EXPECT_TRUE(h.flags.WaitForWorkerState([](int s) { return s == kWorkerStopped; }, kHangMs));
    EXPECT_EQ(h.sim->ReceivedCommands(), (QByteArrayList{"", "ATZ"}));
}

TEST(CommWorkerTest, ExchangeResultsFollowTheAnswers)
{
    WorkerHarness h;
    h.sim->SetEngineTimeMs(0);
    ASSERT_TRUE(h.Start());

    ExchangeResult r = h.channel.Exchange({0x22, 0x10, 0x3C});
    const QByteArray battery = h.sim->EcuAnswer(QByteArray::fromHex("22103C"));
    ASSERT_EQ(r.result, 2);
    EXPECT_EQ(r.d(0), static_cast<std::uint8_t>(battery[3]));
    EXPECT_EQ(r.d(1), static_cast<std::uint8_t>(battery[4]));
    EXPECT_EQ(r.answerBytes, battery);

    r = h.channel.Exchange({0x22, 0x10, 0x80}); // multi-frame identification
    EXPECT_EQ(r.result, 73);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&r.response[1]), 9), "SIM-MIUG4");

    r = h.channel.Exchange({0x22, 0x10, 0x20}); // refused
    EXPECT_EQ(r.result, kExchangeNoData);
    EXPECT_EQ(r.answerBytes, QByteArray::fromHex("7F2231"));

    // Lengths outside 1..16 send nothing.
    h.sim->ClearReceived();
    const std::uint8_t big[17] = {0x22};
    EXPECT_EQ(h.channel.Exchange(big, 17).result, kExchangeNothingSent);
    EXPECT_EQ(h.channel.Exchange(big, 0).result, kExchangeNothingSent);
    EXPECT_TRUE(h.sim->ReceivedCommands().isEmpty());
}

TEST(CommWorkerTest, ExchangeBeforeConnectAndAfterDisconnectSendsNothing)
{
    WorkerHarness h;
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, 2);
    h.Stop();
    h.sim->ClearReceived();
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
    EXPECT_TRUE(h.sim->ReceivedBytes().isEmpty());
}

TEST(CommWorkerTest, KeepAliveAfterMoreThanThreeIdleSeconds)
{
    ManualClock clock(100000);
    WorkerHarness h(std::make_shared<Simulator>(), &clock);
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.flags.workerStartTimeMs.load(), 100000);

    // Requests keep the link busy: never more than about two seconds idle, no keep-alive.
    for (int i = 0; i < 3; ++i) {
        clock.AdvanceMs(2000);
        ASSERT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, 2);
    }
    EXPECT_FALSE(h.sim->ReceivedCommands().contains("3E00"));

    clock.AdvanceMs(3100);
    ASSERT_TRUE(h.sim->WaitForReceived("3E00", kHangMs));
    // The keep-alive's answer does not reach the channel: the next request gets its own.
    ExchangeResult r = h.channel.Exchange({0x22, 0x10, 0x3A});
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.answerBytes.left(3), QByteArray::fromHex("62103A"));
}

TEST(CommWorkerTest, ConcurrentCallersEachGetTheirOwnAnswer)
{
    WorkerHarness h;
    h.sim->SetEngineTimeMs(60000);
    CommWorkerTimings timings;
    timings.pauseAfterRequestMs = 1;
    ASSERT_TRUE(h.Start(true, timings));

    const auto caller = [&h](std::uint8_t low) {
        int wrong = 0;
        for (int i = 0; i < 25; ++i) {
            const ExchangeResult r = h.channel.Exchange({0x22, 0x10, low});
            const QByteArray expected =
                h.sim->EcuAnswer(QByteArray::fromHex("2210") + QByteArray(1, char(low)));
            if (r.answerBytes != expected || r.result != expected.size() - 3) {
                ++wrong;
            }
        }
        return wrong;
    };
    auto a = std::async(std::launch::async, caller, std::uint8_t{0x32});
    auto b = std::async(std::launch::async, caller, std::uint8_t{0x73});
    auto c = std::async(std::launch::async, caller, std::uint8_t{0x74});
    EXPECT_EQ(a.get(), 0);
    EXPECT_EQ(b.get(), 0);
    EXPECT_EQ(c.get(), 0);
}

TEST(CommWorkerTest, DisconnectWhilePendingReturnsMinusOneAndResetsTheAdapter)
{
    WorkerHarness h;
    ASSERT_TRUE(h.Start());
    h.sim->DelayAnswers(1, 400);
    std::future<ExchangeResult> pending;
    ExchangeAsync(h.channel, {0x22, 0x10, 0x30}, pending);
    ASSERT_TRUE(h.sim->WaitForReceived("221030", kHangMs));

    h.channel.Stop();
    ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
    EXPECT_EQ(pending.get().result, kExchangeNotConnected);
    ASSERT_TRUE(h.WaitStopped());
    h.Join();
    EXPECT_EQ(h.sim->ReceivedCommands().last(), QByteArray("ATZ"));
    EXPECT_EQ(h.sim->ReceivedCommands().count("ATZ"), 2);
    EXPECT_EQ(h.ui.LinkLostCount(), 0);
}

TEST(CommWorkerTest, PortVanishingMidRequestEndsTheLink)
{
    WorkerHarness h;
    ASSERT_TRUE(h.Start());
    h.sim->DelayAnswers(1, 5000);
    std::future<ExchangeResult> pending;
    ExchangeAsync(h.channel, {0x22, 0x10, 0x80}, pending);
    ASSERT_TRUE(h.sim->WaitForReceived("221080", kHangMs));

    h.sim->Vanish();
    ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
    EXPECT_EQ(pending.get().result, kExchangeNotConnected);
    ASSERT_TRUE(h.WaitStopped());
    h.Join();
    EXPECT_EQ(h.ui.LinkLostCount(), 1);
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
    EXPECT_FALSE(h.sim->ReceivedCommands().mid(9).contains("ATZ"));
}

TEST(CommWorkerTest, StopDuringThePromptSkipsTheSetUp)
{
    WorkerHarness h;
    h.ui.Hold(true);
    ASSERT_TRUE(h.Start(false));
    ASSERT_TRUE(h.ui.WaitForMessage());
    h.channel.Stop();
    h.ui.Hold(false);
    ASSERT_TRUE(h.WaitStopped());
    h.Join();
    EXPECT_FALSE(h.sim->ReceivedCommands().contains("1003"));
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
}

TEST(CommWorkerTest, BrokenAnswersGiveNoDataAndTheLinkGoesOn)
{
    WorkerHarness h;
    CommWorkerTimings timings;
    timings.adapterTimeoutMs = 60;
    ASSERT_TRUE(h.Start(true, timings));

    h.sim->SetGarbage(true);
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNoData);
    h.sim->SetGarbage(false);

    // Without its prompt the answer still counts, after the time-out.
    h.sim->SetMissingPrompt(true);
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x3A}).result, 2);
    h.sim->SetMissingPrompt(false);
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x80}).result, 73);
}

} // namespace
} // namespace velmoro
