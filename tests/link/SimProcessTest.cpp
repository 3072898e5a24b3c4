// The real serial and TCP ports: CommWorker and Exchange against velmoro-sim on a pty and TCP.
#include "link/CommWorker.h"

#include "LinkTestSupport.h"
#include "support/SimProcess.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <future>

namespace velmoro {
namespace {

using test::kHangMs;
using test::SetUpCommands;
using test::SimProcess;
using test::WorkerHarness;

class PtySetUpTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PtySetUpTest, WorkerSetsUpTheAdapterAndExchangesOverThePty)
{
    SimProcess sim({"--pty", "--identity", GetParam()});
    ASSERT_TRUE(sim.Address().startsWith("/dev/")) << sim.Address().toStdString();
    WorkerHarness h;
    h.realPortName = sim.Address();
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(sim.Received("1003"), SetUpCommands(GetParam()));

    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, 2);
    const ExchangeResult id = h.channel.Exchange({0x22, 0x10, 0x80});
    EXPECT_EQ(id.result, 73);
    EXPECT_EQ(id.answerBytes.mid(3), Simulator().EcuAnswer(QByteArray::fromHex("221080")).mid(3));
    h.Stop();
    EXPECT_EQ(sim.Received("ATZ", 2).count("ATZ"), 2);
}

INSTANTIATE_TEST_SUITE_P(Adapters, PtySetUpTest, ::testing::Values("elm", "stn", "vgate"));

TEST(SimProcessTest, TcpAdapterWithoutTrailingSpacesAndCrLf)
{
    SimProcess sim({"--tcp", "0", "--family", "11mp", "--no-trailing-spaces", "--crlf"});
    ASSERT_GT(sim.Address().toInt(), 0);
    WorkerHarness h;
    h.realPortName = QStringLiteral("127.0.0.1:") + sim.Address();
    ASSERT_TRUE(h.Start());

    Simulator local(SimulatorOptions{kSimFamily11mp});
    const ExchangeResult id = h.channel.Exchange({0x22, 0xB0});
    EXPECT_EQ(id.result, 70);
    EXPECT_EQ(id.answerBytes, local.EcuAnswer(QByteArray::fromHex("22B0")));
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x55}).result, 1);
    h.Stop();
    EXPECT_EQ(sim.Received("ATZ", 2).last(), QByteArray("ATZ"));
}

// HOST:PORT listens where it says; an address without a port, or a port that is no number, is
// refused with a message instead of listening on a port read from the wrong part.
TEST(SimProcessTest, TcpTakesPortOrHostAndPortAndRefusesAnythingElse)
{
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    ASSERT_GT(sim.Address().toInt(), 0);
    WorkerHarness h;
    h.realPortName = QStringLiteral("127.0.0.1:") + sim.Address();
    ASSERT_TRUE(h.Start());
    EXPECT_GT(h.channel.Exchange({0x22, 0x10, 0x55}).result, 0);
    h.Stop();

    for (const char* wrong : {"127.0.0.1", "127.0.0.1:35a", "host:35000", ":35000", "70000",
                              "1.2.3:35000", "127.0.0.1:"}) {
        QProcess refused;
        refused.start(QStringLiteral(VELMORO_SIM_EXECUTABLE),
                      {QStringLiteral("--tcp"), QString::fromLatin1(wrong)});
        ASSERT_TRUE(refused.waitForFinished(SimProcess::kWaitMs)) << wrong;
        EXPECT_EQ(refused.exitCode(), 2) << wrong;
        EXPECT_TRUE(
            refused.readAllStandardError().contains(QByteArray("--tcp takes PORT or HOST:PORT")))
            << wrong;
    }
}

class VanishTest : public ::testing::TestWithParam<bool> {};

TEST_P(VanishTest, DeviceGoneMidRequestEndsTheLink)
{
    const bool tcp = GetParam();
    SimProcess sim(tcp ? QStringList{"--tcp", "0", "--request-latency", "1500"}
                       : QStringList{"--pty", "--request-latency", "1500"});
    ASSERT_FALSE(sim.Address().isEmpty());
    WorkerHarness h;
    h.realPortName = tcp ? QStringLiteral("127.0.0.1:") + sim.Address() : sim.Address();
    CommWorkerTimings timings;
    timings.adapterTimeoutMs = 5000;
    ASSERT_TRUE(h.Start(true, timings));

    auto pending = std::async(std::launch::async, [&h] {
        return h.channel.Exchange({0x22, 0x10, 0x30}).result;
    });
    ASSERT_TRUE(sim.Received("221030").contains("221030"));
    sim.Kill();
    ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
    EXPECT_EQ(pending.get(), kExchangeNotConnected);
    ASSERT_TRUE(h.WaitStopped());
    h.Join();
    EXPECT_EQ(h.ui.LinkLostCount(), 1);
    EXPECT_EQ(h.channel.Exchange({0x22, 0x10, 0x30}).result, kExchangeNotConnected);
}

INSTANTIATE_TEST_SUITE_P(Ports, VanishTest, ::testing::Values(false, true));

} // namespace
} // namespace velmoro
