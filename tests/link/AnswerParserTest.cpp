// The request encoding and the answer parser on every answer shape, real-adapter variants and junk.
#include "link/AnswerParser.h"

#include <QByteArrayList>
#include <gtest/gtest.h>

#include <random>

namespace velmoro {
namespace {

// The adapter's multi-frame layout: length line, then numbered lines of 6 and 7 bytes.
QByteArray MultiFrame(const QByteArray& bytes, const char* eol = "\r", bool trailing = true)
{
    const QByteArray space = trailing ? " " : "";
    QByteArray text =
        QByteArray::number(bytes.size(), 16).toUpper().rightJustified(3, '0') + space + eol;
    int index = 0;
    for (int from = 0; from < bytes.size(); ++index) {
        const int n = from == 0 ? 6 : 7;
        QByteArrayList words;
        for (int i = from; i < from + n && i < bytes.size(); ++i) {
            words << bytes.mid(i, 1).toHex().toUpper();
        }
        text += QByteArray::number(index % 16, 16).toUpper() + ": " + words.join(' ') + space + eol;
        from += n;
    }
    return text + eol;
}

// A response buffer with guard bytes on both sides, to see writes past its ends.
struct GuardedBuffer {
    std::array<std::uint8_t, 16> before;
    ResponseBuffer buffer;
    std::array<std::uint8_t, 16> after;
    GuardedBuffer()
    {
        before.fill(0xA5);
        buffer.fill(0xEE);
        after.fill(0xA5);
    }
    bool GuardsIntact() const
    {
        return std::all_of(before.begin(), before.end(), [](auto b) { return b == 0xA5; }) &&
               std::all_of(after.begin(), after.end(), [](auto b) { return b == 0xA5; });
    }
};

QByteArray Sequence(int n, int first = 0)
{
    QByteArray bytes;
    for (int i = 0; i < n; ++i) {
        bytes.append(static_cast<char>((first + i) & 0xFF));
    }
    return bytes;
}

TEST(AnswerParserTest, EncodesRequestsAsUpperCaseHexWithoutSeparators)
{
    const std::uint8_t request[] = {0x22, 0x10, 0x3C, 0x0A, 0xFF};
    EXPECT_EQ(EncodeRequest(request, 3), QByteArray("22103C"));
    EXPECT_EQ(EncodeRequest(request, 5), QByteArray("22103C0AFF"));
    EXPECT_TRUE(EncodeRequest(request, 0).isEmpty());
    EXPECT_TRUE(EncodeRequest(nullptr, 2).isEmpty());
}

TEST(AnswerParserTest, SingleFrameStoresTheBytesAfterTheFirstThree)
{
    ResponseBuffer r{};
    ParsedAnswer p = ParseAnswer("62 10 3C 01 02 \r\r", r);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(r[1], 0x01);
    EXPECT_EQ(r[2], 0x02);
    EXPECT_EQ(p.answerBytes, QByteArray::fromHex("62103C0102"));

    // Without trailing spaces and with CR LF line ends the bytes are the same.
    r.fill(0);
    EXPECT_EQ(ParseAnswer("62 10 3C 0A FF\r\n\r\n", r).count, 2);
    EXPECT_EQ(r[1], 0x0A);
    EXPECT_EQ(r[2], 0xFF);

    // Three bytes or fewer carry no data; earlier bytes stay.
    r.fill(0x55);
    EXPECT_EQ(ParseAnswer("62 10 3C \r\r", r).count, 0);
    EXPECT_EQ(ParseAnswer("62 10 3C", r).count, 0);
    EXPECT_EQ(ParseAnswer("", r).count, 0);
    EXPECT_EQ(r[1], 0x55);
}

TEST(AnswerParserTest, NegativeAnswersStoreNothingEvenWhenDataFollows)
{
    ResponseBuffer r;
    r.fill(0x33);
    const ResponseBuffer before = r;
    ParsedAnswer p = ParseAnswer("7F 22 31 \r\r", r);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(r, before);
    EXPECT_EQ(p.answerBytes, QByteArray::fromHex("7F2231"));

    // Response pending, then the real answer in the same text: still nothing.
    EXPECT_EQ(ParseAnswer("7F 22 78 \r62 10 30 0B B8 \r\r", r).count, 0);
    EXPECT_EQ(ParseAnswer("7F 19 78 \r008 \r0: 59 02 FF 01 05 1C \r1: 89 \r", r).count, 0);
    EXPECT_EQ(r, before);
}

TEST(AnswerParserTest, MultiFrameVariantsGiveTheSameBytes)
{
    const QByteArray expected = QByteArray::fromHex("0102030405");
    const QByteArray variants[] = {
        "008 \r0: 62 10 3C 01 02 03 \r1: 04 05 \r\r",
        "008\r0: 62 10 3C 01 02 03\r1: 04 05\r\r",
        "008 \r\n0: 62 10 3C 01 02 03 \r\n1: 04 05 \r\n\r\n",
        "008\n0: 62 10 3C 01 02 03\n1: 04 05\n",
    };
    for (const QByteArray& text : variants) {
        SCOPED_TRACE(text.toStdString());
        ResponseBuffer r{};
        ParsedAnswer p = ParseAnswer(text, r);
        ASSERT_EQ(p.count, 5);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&r[1]), 5), expected);
        EXPECT_EQ(p.answerBytes, QByteArray::fromHex("62103C") + expected);
    }

    // The 73-byte identification record with a length line that has no trailing space.
    const QByteArray record = Sequence(73, 0x20);
    ResponseBuffer r{};
    ParsedAnswer p =
        ParseAnswer(MultiFrame(QByteArray::fromHex("621080") + record, "\r", false), r);
    ASSERT_EQ(p.count, 73);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&r[1]), 73), record);
}

TEST(AnswerParserTest, WrappedLineIndexesAndOverlongAnswersAreCutAt127)
{
    // 19 lines: indexes run 0..F and then 0, 1, 2 again.
    const QByteArray answer = QByteArray::fromHex("710302") + Sequence(127, 1);
    const QByteArray text = MultiFrame(answer);
    ASSERT_TRUE(text.contains("\rF: ") && text.contains("\r2: "));
    GuardedBuffer g;
    ParsedAnswer p = ParseAnswer(text, g.buffer);
    EXPECT_EQ(p.count, 127);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&g.buffer[1]), 127), Sequence(127, 1));
    EXPECT_EQ(g.buffer[0], 0xEE) << "no 59 02 in the text, DtcCount untouched";

    // 200 data bytes: the first 127 are kept, nothing is written past the buffer.
    GuardedBuffer big;
    p = ParseAnswer(MultiFrame(QByteArray::fromHex("62109A") + Sequence(200, 7)), big.buffer);
    EXPECT_EQ(p.count, 127);
    EXPECT_EQ(big.buffer[127], static_cast<std::uint8_t>(7 + 126));
    EXPECT_EQ(p.answerBytes.size(), 203);
    EXPECT_TRUE(big.GuardsIntact());

    // The same in a single line of 200 words.
    GuardedBuffer flat;
    QByteArray line = "62 10 9A";
    for (int i = 0; i < 200; ++i) {
        line += " " + QByteArray::number(i % 256, 16).toUpper().rightJustified(2, '0');
    }
    EXPECT_EQ(ParseAnswer(line + " \r\r", flat.buffer).count, 127);
    EXPECT_EQ(flat.buffer[127], 126);
    EXPECT_TRUE(flat.GuardsIntact());
}

TEST(AnswerParserTest, FaultAnswersSetDtcCountFromCompleteRecords)
{
    ResponseBuffer r{};
    ParsedAnswer p = ParseAnswer("00B \r0: 59 02 FF 01 05 1C \r1: 89 C1 21 00 08 \r\r", r);
    EXPECT_EQ(p.count, 8);
    EXPECT_EQ(r[0], 2);
    EXPECT_EQ(r[1], 0x01);
    EXPECT_EQ(r[8], 0x08);

    p = ParseAnswer("59 02 FF 01 05 1C 89 \r\r", r);
    EXPECT_EQ(p.count, 4);
    EXPECT_EQ(r[0], 1);

    // No records: count 0, DtcCount 0. Any other answer leaves DtcCount alone.
    EXPECT_EQ(ParseAnswer("59 02 FF \r\r", r).count, 0);
    EXPECT_EQ(r[0], 0);
    r[0] = 3;
    EXPECT_EQ(ParseAnswer("62 10 30 0B B8 \r\r", r).count, 2);
    EXPECT_EQ(r[0], 3);
}

TEST(AnswerParserTest, OnlyCleanHexDataIsData)
{
    // Status lines are skipped; the data after them is the answer.
    for (const QByteArray& text :
         {QByteArray("SEARCHING...\r62 10 30 0B B8 \r\r"),
          QByteArray("BUS INIT: ...OK\r\n62 10 30 0B B8\r\n"),
          QByteArray("SEARCHING...\r007 \r0: 62 10 30 0B B8 01 \r1: 02 \r\r")}) {
        SCOPED_TRACE(text.toStdString());
        ResponseBuffer r{};
        const ParsedAnswer p = ParseAnswer(text, r);
        EXPECT_EQ(p.shape, AnswerShape::Data);
        ASSERT_GE(p.count, 2);
        EXPECT_EQ(r[1], 0x0B);
        EXPECT_EQ(r[2], 0xB8);
    }

    // Adapter messages, alone or after a status line, and what is not clean data: no data, the
    // buffer untouched (DtcCount too), no answer bytes.
    const std::pair<QByteArray, AnswerShape> noData[] = {
        {"NO DATA\r\r", AnswerShape::Message},
        {"UNABLE TO CONNECT\r\r", AnswerShape::Message},
        {"SEARCHING...\rUNABLE TO CONNECT\r\r", AnswerShape::Message},
        {"CAN ERROR\r", AnswerShape::Message},
        {"BUFFER FULL\r", AnswerShape::Message},
        {"BUS BUSY\r", AnswerShape::Message},
        {"BUS ERROR\r", AnswerShape::Message},
        {"DATA ERROR\r", AnswerShape::Message},
        {"<DATA ERROR\r", AnswerShape::Message},
        {"<RX ERROR\r", AnswerShape::Message},
        {"FB ERROR\r", AnswerShape::Message},
        {"STOPPED\r", AnswerShape::Message},
        {"?\r\r", AnswerShape::Message},
        {"ACT ALERT\r", AnswerShape::Message},
        {"LV RESET\r\rELM327 v1.5\r\r", AnswerShape::Message},
        {"ERR94\r", AnswerShape::Message},
        {"BUS INIT: ...ERROR\r\r", AnswerShape::Message},
        {"62 10 30 0B B8 \rCAN ERROR\r", AnswerShape::Message},
        {"", AnswerShape::Empty},
        {"SEARCHING...\r\r", AnswerShape::Empty},
        {"62 10 30 0B B\r\r", AnswerShape::Junk},           // cut in a byte
        {"62 1#0 0B B8 \r\r", AnswerShape::Junk},           // noise in a byte
        {"62 10 30 0B%B8 \r\r", AnswerShape::Junk},         // a garbled separator
        {"62 10 30 0B B8 \x01\xFE\r\r", AnswerShape::Junk}, // noise bytes
        {"62103C0102\r\r", AnswerShape::Junk},              // no separators
        {"62 10 3C 1 ABC 02", AnswerShape::Junk},           // words of other lengths
        {"221030\r62 10 30 0B B8 \r\r", AnswerShape::Junk}, // the request's echo
        {"62 10 30 0B B8 \r62 10 30 0B B8 \r", AnswerShape::Junk},
        {"008 \r0: 62 10 3C 01 02 03 \r2: 04 05 \r", AnswerShape::Junk}, // index skipped
        {"008 \r1: 62 10 3C 01 02 03 \r2: 04 05 \r", AnswerShape::Junk}, // no line 0
        {"008 \r0: 62 10 3C 01 02 03 \r", AnswerShape::Junk},            // a line missing
        {"008 \r0: 62 10 3C 01 02 03 \r1: 04 0\r", AnswerShape::Junk},   // cut line
        {"009 \r0: 62 10 3C 01 02 03 \r1: 04 05 \r", AnswerShape::Junk}, // wrong length
        {"0: 62 10 3C 01 02 03 \r1: 04 05 \r", AnswerShape::Junk},       // no length line
        {"008\r0: 62 10 3C 1 zz 03\r1: 04 05\r", AnswerShape::Junk},
        {"0:\r1:\r2:\r", AnswerShape::Junk},
        {":::::", AnswerShape::Junk},
    };
    for (const auto& [text, shape] : noData) {
        SCOPED_TRACE(text.toStdString());
        GuardedBuffer g;
        const ParsedAnswer p = ParseAnswer(text, g.buffer);
        EXPECT_EQ(p.count, 0);
        EXPECT_EQ(p.shape, shape);
        EXPECT_TRUE(p.answerBytes.isEmpty());
        EXPECT_TRUE(
            std::all_of(g.buffer.begin(), g.buffer.end(), [](auto b) { return b == 0xEE; }));
    }

    // Lower-case digits are hex all the same.
    ResponseBuffer r{};
    EXPECT_EQ(ParseAnswer("62 10 3c 0a 0b \r", r).count, 2);
    EXPECT_EQ(r[1], 0x0A);
    EXPECT_EQ(r[2], 0x0B);
}

TEST(AnswerParserTest, DataForAnotherRequestIsNotThisRequestsData)
{
    const std::uint8_t rpm[] = {0x22, 0x10, 0x30};
    ResponseBuffer r;
    r.fill(0x44);
    ParsedAnswer p = ParseAnswer("62 10 30 0B B8 \r\r", r, rpm, 3);
    EXPECT_EQ(p.shape, AnswerShape::Data);
    EXPECT_EQ(p.count, 2);
    r.fill(0x44);
    for (const QByteArray& text : {QByteArray("62 10 33 00 5A \r\r"), QByteArray("7E 00 \r\r"),
                                   QByteArray("59 02 FF 01 05 1C 89 \r\r")}) {
        SCOPED_TRACE(text.toStdString());
        p = ParseAnswer(text, r, rpm, 3);
        EXPECT_EQ(p.shape, AnswerShape::Foreign);
        EXPECT_EQ(p.count, 0);
        EXPECT_EQ(r[0], 0x44);
        EXPECT_EQ(r[1], 0x44);
    }
    EXPECT_EQ(ParseAnswer("7F 22 31 \r\r", r, rpm, 3).shape, AnswerShape::Negative);
}

TEST(AnswerParserTest, AdapterRestartSignsAreNamed)
{
    EXPECT_EQ(AdapterRestartSign("\r\rELM327 v1.5\r\r", "221030"), QByteArray("ELM327 v1.5"));
    EXPECT_EQ(AdapterRestartSign("LV RESET\r\rELM327 v1.5\r", "221030"), QByteArray("LV RESET"));
    EXPECT_EQ(AdapterRestartSign("221030 1\rSEARCHING...\rUNABLE TO CONNECT\r", "221030 1"),
              QByteArray("221030 1"));
    EXPECT_EQ(AdapterRestartSign("SEARCHING...\r62 10 30 0B B8 \r", "221030"),
              QByteArray("SEARCHING..."));
    EXPECT_EQ(AdapterRestartSign("UNABLE TO CONNECT\r\r", "3E00"), QByteArray("UNABLE TO CONNECT"));
    // The adapter's ordinary words are no restart.
    for (const QByteArray& text :
         {QByteArray("62 10 30 0B B8 \r\r"), QByteArray("NO DATA\r\r"), QByteArray("CAN ERROR\r"),
          QByteArray("?\r"), QByteArray(), QByteArray("7F 22 31 \r")}) {
        EXPECT_TRUE(AdapterRestartSign(text, "221030").isEmpty()) << text.constData();
    }
}

TEST(AnswerParserTest, BinaryJunkNeverWritesPastTheBuffer)
{
    std::mt19937 random(20261208);
    const char alphabet[] = "0123456789ABCDEFabcdef :\r\n7F59\x00\xFF>$";
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        const int length = static_cast<int>(random() % 700);
        for (int i = 0; i < length; ++i) {
            text.append(round % 2 == 0 ? alphabet[random() % (sizeof alphabet - 1)]
                                       : static_cast<char>(random() & 0xFF));
        }
        GuardedBuffer g;
        const ParsedAnswer p = ParseAnswer(text, g.buffer);
        ASSERT_GE(p.count, 0);
        ASSERT_LE(p.count, kMaxAnswerDataBytes);
        ASSERT_TRUE(g.GuardsIntact());
    }
}

TEST(AnswerBelongsToTest, TellsAStaleAnswerFromTheAnswerToThisRequest)
{
    const std::uint8_t engineTemp[] = {0x22, 0x10, 0x33};
    EXPECT_TRUE(AnswerBelongsTo(engineTemp, 3, "62 10 33 00 5A \r\r"));
    EXPECT_FALSE(AnswerBelongsTo(engineTemp, 3, "62 10 30 0B B8 \r\r")); // another identifier
    EXPECT_FALSE(AnswerBelongsTo(engineTemp, 3, "7E 00 \r\r"));          // the keep-alive's
    EXPECT_TRUE(AnswerBelongsTo(engineTemp, 3, "7F 22 31 \r\r"));
    EXPECT_FALSE(AnswerBelongsTo(engineTemp, 3, "7F 19 31 \r\r"));
    // Nothing to compare: adapter messages and silence are this request's outcome.
    EXPECT_TRUE(AnswerBelongsTo(engineTemp, 3, "NO DATA\r\r"));
    EXPECT_TRUE(AnswerBelongsTo(engineTemp, 3, "UNABLE TO CONNECT\r"));
    EXPECT_TRUE(AnswerBelongsTo(engineTemp, 3, ""));
    // Multi-frame answers are compared by their first bytes too.
    const std::uint8_t ident[] = {0x22, 0x10, 0x80};
    EXPECT_TRUE(AnswerBelongsTo(ident, 3, "008 \r0: 62 10 80 01 02 03 \r1: 04 05 \r\r"));
    EXPECT_FALSE(AnswerBelongsTo(ident, 3, "008 \r0: 62 10 9A 01 02 03 \r1: 04 05 \r\r"));
    // Fault reading echoes only its sub-function; the mask byte comes back changed.
    const std::uint8_t faults[] = {0x19, 0x02, 0xAF};
    EXPECT_TRUE(AnswerBelongsTo(faults, 3, "59 02 FF 01 05 1C 89 \r\r"));
    const std::uint8_t faults11mp[] = {0x18, 0x00, 0xFF, 0x00};
    EXPECT_TRUE(AnswerBelongsTo(faults11mp, 4, "58 01 01 05 21 \r\r"));
    EXPECT_FALSE(AnswerBelongsTo(faults11mp, 4, "62 10 30 0B B8 \r\r"));
}

} // namespace
} // namespace velmoro
