// The simulated adapter's command set and output format, and its fault injection.
#include "sim/Simulator.h"

#include <QByteArrayList>
#include <gtest/gtest.h>

namespace velmoro {
namespace {

constexpr int kHangMs = 10000;

// One exchange as a host sees it: the text up to '>' (empty when none comes within the bound).
QByteArray Send(Simulator& sim, const QByteArray& command, int waitMs = kHangMs)
{
    sim.Write(command + "\r");
    QByteArray answer;
    while (sim.WaitForOutput(waitMs)) {
        for (char c : sim.Read(1 << 16)) {
            if (c == '>') {
                return answer;
            }
            answer += c;
        }
    }
    return answer;
}

// Sets the adapter up like the worker does.
void SetUpAdapter(Simulator& sim)
{
    Send(sim, "ATZ");
    Send(sim, "ATE 0");
    Send(sim, "ATSH 7A0");
    Send(sim, "ATCRA 7A8");
}

TEST(SimulatorAdapterTest, ResetEchoAndCommandSet)
{
    Simulator sim;
    EXPECT_EQ(Send(sim, "ATZ"), QByteArray("ATZ\r\r\rELM327 v1.5\r\r"));
    EXPECT_EQ(Send(sim, "ATE 0"), QByteArray("ATE 0\rOK\r\r")) << "echoed while echo is on";
    EXPECT_EQ(Send(sim, "ATE0"), QByteArray("OK\r\r"));
    EXPECT_EQ(Send(sim, "ATSP 6"), QByteArray("OK\r\r"));
    EXPECT_EQ(Send(sim, "ATXYZ"), QByteArray("?\r\r"));
    EXPECT_EQ(Send(sim, "STMFR"), QByteArray("?\r\r"));
    EXPECT_EQ(Send(sim, "VTPROI"), QByteArray("?\r\r"));
    // A bare CR repeats the last command.
    EXPECT_EQ(Send(sim, ""), QByteArray("?\r\r"));
    EXPECT_EQ(sim.ReceivedCommands(),
              (QByteArrayList{"ATZ", "ATE 0", "ATE0", "ATSP 6", "ATXYZ", "STMFR", "VTPROI", ""}));

    sim.SetIdentity(AdapterIdentity::Stn);
    EXPECT_TRUE(Send(sim, "STMFR").contains("OBD Solutions"));
    EXPECT_EQ(Send(sim, "STP 33"), QByteArray("OK\r\r"));
    sim.SetIdentity(AdapterIdentity::Vgate);
    EXPECT_EQ(Send(sim, "STMFR"), QByteArray("?\r\r"));
    EXPECT_TRUE(Send(sim, "VTPROI").contains("Vgate"));
    EXPECT_EQ(Send(sim, "VTP2 33"), QByteArray("OK\r\r"));
}

TEST(SimulatorAdapterTest, HeaderAndReceiveFilterDecideWhetherTheEcuAnswers)
{
    Simulator sim;
    Send(sim, "ATZ");
    Send(sim, "ATE 0");
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("NO DATA\r\r")) << "default header is not 7A0";
    Send(sim, "ATSH 7A0");
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("62 10 3A 04 7E \r\r"));
    Send(sim, "ATCRA 7E8");
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("NO DATA\r\r"));
    Send(sim, "ATCRA 7A8");
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("62 10 3A 04 7E \r\r"));
    sim.SetEcuSilent(true);
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("NO DATA\r\r"));
    sim.SetEcuSilent(false);
    EXPECT_EQ(Send(sim, "3E00"), QByteArray("7E 00 \r\r"));
    EXPECT_EQ(Send(sim, "3E80"), QByteArray("NO DATA\r\r")) << "suppressed positive answer";
    EXPECT_EQ(Send(sim, "22103A 0"), QByteArray("?\r\r")) << "no count of answers";
}

TEST(SimulatorAdapterTest, CountDigitEndsTheWaitForFurtherAnswers)
{
    // A wait no test outlasts: whether the prompt comes is decided by the count digit alone.
    SimulatorOptions options;
    options.answerWaitMs = 600000;
    Simulator counted(options);
    SetUpAdapter(counted);
    EXPECT_EQ(Send(counted, "22103A 1"), QByteArray("62 10 3A 04 7E \r\r"));
    EXPECT_EQ(Send(counted, "22103A1"), QByteArray("62 10 3A 04 7E \r\r"));
    // Told to expect one frame of a longer answer, the adapter stops after the first.
    EXPECT_EQ(Send(counted, "22109A 1"), QByteArray("017 \r0: 62 10 9A 48 57 20 \r\r"));
    EXPECT_EQ(Send(counted, "22109A 4").count(':'), 4);

    Simulator waiting(options);
    SetUpAdapter(waiting);
    waiting.Write("22103A\r");
    ASSERT_TRUE(waiting.WaitForOutput(kHangMs));
    EXPECT_EQ(waiting.Read(100), QByteArray("62 10 3A 04 7E \r"));
    EXPECT_GT(waiting.MsUntilNextOutput(), 500000) << "the prompt after the wait";

    options.countDigit = false;
    Simulator older(options);
    SetUpAdapter(older);
    EXPECT_EQ(Send(older, "22103A 1"), QByteArray("?\r\r"));
    EXPECT_EQ(older.ReceivedCommands().last(), QByteArray("22103A 1"));

    // Injected adapter messages take the place of the ECU's next answers.
    counted.InjectAdapterMessage("BUFFER FULL", 2);
    EXPECT_EQ(Send(counted, "22103A 1"), QByteArray("BUFFER FULL\r\r"));
    EXPECT_EQ(Send(counted, "22103A"), QByteArray("BUFFER FULL\r\r"));
    EXPECT_EQ(Send(counted, "22103A 1"), QByteArray("62 10 3A 04 7E \r\r"));
    counted.InjectAdapterMessage("", 1);
    counted.Write("22103A 1\r");
    EXPECT_EQ(counted.MsUntilNextOutput(), -1) << "no answer, no prompt";
    EXPECT_EQ(Send(counted, "22103A 1"), QByteArray("62 10 3A 04 7E \r\r"));
}

TEST(SimulatorAdapterTest, SerialLineCarriesTenBitsAByteBothWays)
{
    // At 10 baud a byte takes a second: "ATE0" and its CR arrive after five, and the echo
    // (echo is on after a reset) is back five seconds later.
    SimulatorOptions options;
    options.baudRate = 10;
    Simulator sim(options);
    sim.Write("ATE0\r");
    EXPECT_LE(sim.MsUntilNextOutput(), 10000);
    EXPECT_GT(sim.MsUntilNextOutput(), 9000);
    EXPECT_EQ(sim.BytesAvailable(), 0);

    const SimulatorOptions realistic = RealisticSimulatorOptions(kSimFamily11mp, 20);
    EXPECT_EQ(realistic.family, kSimFamily11mp);
    EXPECT_EQ(realistic.requestLatencyMs, 20);
    EXPECT_EQ(realistic.baudRate, kSimBaudRate);
    EXPECT_EQ(realistic.answerWaitMs, kSimAnswerWaitMs);
    EXPECT_TRUE(realistic.countDigit);
}

TEST(SimulatorAdapterTest, MultiFrameLinesAndTheirVariants)
{
    Simulator sim;
    SetUpAdapter(sim);
    // 20 ASCII bytes after 62 10 9A: length line 017, lines of 6 then 7 bytes.
    EXPECT_EQ(Send(sim, "22109A"), QByteArray("017 \r"
                                              "0: 62 10 9A 48 57 20 \r"
                                              "1: 31 2E 30 20 53 49 4D \r"
                                              "2: 55 4C 41 54 45 44 20 \r"
                                              "3: 45 43 55 \r\r"));

    // A long block: the line indexes wrap after F.
    sim.SetStoredData({{false, QByteArray(120, '\x11')}});
    const QByteArray text = Send(sim, "3103022401");
    QByteArrayList indexes;
    for (const QByteArray& line : text.split('\r')) {
        if (line.contains(':')) {
            indexes << line.left(line.indexOf(':'));
        }
    }
    EXPECT_EQ(indexes.join(""), QByteArray("0123456789ABCDEF012"));
    EXPECT_TRUE(text.startsWith("07E \r0: 71 03 02 24 01 00 \r"));

    sim.SetTrailingSpaces(false);
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("62 10 3A 04 7E\r\r"));
    EXPECT_TRUE(Send(sim, "22109A").startsWith("017\r0: 62 10 9A 48 57 20\r1: "));
    sim.SetCrLf(true);
    EXPECT_EQ(Send(sim, "22103A"), QByteArray("62 10 3A 04 7E\r\n\r\n"));
}

TEST(SimulatorAdapterTest, LatencyAndFaultInjection)
{
    Simulator sim;
    SetUpAdapter(sim);
    sim.SetLatencyMs(5000);
    sim.Write("22103A\r");
    EXPECT_EQ(sim.BytesAvailable(), 0);
    EXPECT_GT(sim.MsUntilNextOutput(), 1000);
    sim.SetLatencyMs(0);

    Simulator quick;
    SetUpAdapter(quick);
    quick.SetSilent(true);
    EXPECT_TRUE(Send(quick, "22103A", 50).isEmpty());
    EXPECT_EQ(quick.ReceivedCommands().last(), QByteArray("22103A")) << "still recorded";
    quick.SetSilent(false);

    quick.SetMissingPrompt(true);
    quick.Write("22103A\r");
    ASSERT_TRUE(quick.WaitForOutput(kHangMs));
    EXPECT_EQ(quick.Read(100), QByteArray("62 10 3A 04 7E \r\r"));
    quick.SetMissingPrompt(false);

    quick.SetGarbage(true);
    const QByteArray junk = Send(quick, "22103A");
    EXPECT_FALSE(junk.isEmpty());
    EXPECT_FALSE(junk.contains("62 10 3A"));
    quick.SetGarbage(false);

    // A late answer stays behind the next command's echo-less answer in order.
    quick.DelayAnswers(1, 200);
    quick.Write("221030\r");
    EXPECT_GE(quick.MsUntilNextOutput(), 100);
    EXPECT_TRUE(Send(quick, "22103A").startsWith("62 10 30"));

    quick.Vanish();
    EXPECT_TRUE(quick.Vanished());
    EXPECT_FALSE(quick.WaitForOutput(10));
    quick.Write("22103A\r");
    EXPECT_EQ(quick.BytesAvailable(), 0);
    quick.Restore();
    EXPECT_EQ(Send(quick, "22103A"), QByteArray("62 10 3A 04 7E \r\r"));
}

} // namespace
} // namespace velmoro
