// One adapter exchange: what is written, where the answer ends, time-outs and late bytes.
#include "link/AdapterCommand.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

using test::ScriptedPort;

struct AdapterCommandTest : ::testing::Test {
    ManualClock clock{5000};
    ScriptedPort port{clock};

    QByteArray Send(const QByteArray& text, int timeoutMs = kAdapterTimeoutMs)
    {
        AdapterCommand command;
        command.port = &port;
        command.timeoutMs = timeoutMs;
        command.command = text;
        const int length = SendAdapterCommand(command, clock);
        EXPECT_EQ(length, command.answer.size());
        return command.answer;
    }
};

TEST_F(AdapterCommandTest, WritesCommandAndCrAndStopsBeforeThePrompt)
{
    port.onWrite = [this](const QByteArray&) { port.Arrive(clock.NowMs() + 30, "OK\r\r>"); };
    EXPECT_EQ(Send("ATZ"), QByteArray("OK\r\r"));
    EXPECT_EQ(port.written, QByteArray("ATZ\r"));

    port.written.clear();
    Send("");
    EXPECT_EQ(port.written, QByteArray("\r")) << "an empty command is a bare carriage return";

    // Spaces, CR and LF of the answer are kept.
    port.onWrite = [this](const QByteArray&) {
        port.Arrive(clock.NowMs() + 5, "62 10 30 0B B8 \r\n\r\n>");
    };
    EXPECT_EQ(Send("221030"), QByteArray("62 10 30 0B B8 \r\n\r\n"));
}

TEST_F(AdapterCommandTest, SilenceAndMissingPromptEndAfterTheTimeOut)
{
    const qint64 start = clock.NowMs();
    EXPECT_TRUE(Send("ATZ").isEmpty());
    EXPECT_GT(clock.NowMs() - start, kAdapterTimeoutMs) << "the time-out is strictly exceeded";

    port.onWrite = [this](const QByteArray&) { port.Arrive(clock.NowMs() + 10, "NO DA"); };
    const qint64 second = clock.NowMs();
    EXPECT_EQ(Send("221030", 200), QByteArray("NO DA"));
    EXPECT_GT(clock.NowMs() - second, 200);
}

TEST_F(AdapterCommandTest, LateAnswerIsFoundAtTheStartOfTheNextOne)
{
    // The first answer comes after the time-out; the second exchange finds it first.
    port.Arrive(clock.NowMs() + 1500, "62 10 30 0B B8 \r\r>");
    EXPECT_TRUE(Send("221030").isEmpty());
    port.onWrite = [this](const QByteArray&) {
        port.Arrive(clock.NowMs() + 600, "62 10 31 00 28 \r\r>");
    };
    EXPECT_EQ(Send("221031"), QByteArray("62 10 30 0B B8 \r\r"));
    EXPECT_EQ(Send("221031"), QByteArray("62 10 31 00 28 \r\r"));
}

TEST_F(AdapterCommandTest, BytesAfterThePromptAreKeptForTheNextAnswer)
{
    port.Arrive(clock.NowMs(), "OK\r\r>STOPPED\r\r>");
    EXPECT_EQ(Send("ATE 0"), QByteArray("OK\r\r"));
    EXPECT_EQ(Send("221030"), QByteArray("STOPPED\r\r"));
}

} // namespace
} // namespace velmoro
