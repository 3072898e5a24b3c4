// Request encoding and answer parsing of the request channel.
#include "link/AnswerParser.h"

#include <QList>
#include <algorithm>

namespace velmoro {

namespace {

// Longest answer kept in ParsedAnswer::answerBytes; junk floods are cut here.
constexpr int kMaxAnswerBytesKept = 4096;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A word of one or two hex digits is a byte; anything else is not.
bool WordToByte(const QByteArray& word, std::uint8_t& value)
{
    if (word.isEmpty() || word.size() > 2) {
        return false;
    }
    int v = 0;
    for (char c : word) {
        const int h = HexValue(c);
        if (h < 0) {
            return false;
        }
        v = v * 16 + h;
    }
    value = static_cast<std::uint8_t>(v);
    return true;
}

QList<QByteArray> Words(const QByteArray& text)
{
    QList<QByteArray> words;
    for (const QByteArray& w : text.split(' ')) {
        if (!w.isEmpty()) {
            words.append(w);
        }
    }
    return words;
}

// The answer's bytes when every word is a byte; empty for adapter messages and junk.
QByteArray WordsToBytes(const QList<QByteArray>& words)
{
    QByteArray bytes;
    for (const QByteArray& w : words) {
        std::uint8_t b = 0;
        if (!WordToByte(w, b)) {
            return {};
        }
        if (bytes.size() >= kMaxAnswerBytesKept) {
            break;
        }
        bytes.append(static_cast<char>(b));
    }
    return bytes;
}

// A numbered line of a multi-frame answer: optional spaces, 1..2 hex digits, a colon. Returns
// the text after the colon, or false.
bool NumberedLineRest(const QByteArray& line, QByteArray& rest)
{
    int i = 0;
    while (i < line.size() && line[i] == ' ') {
        ++i;
    }
    const int digitsStart = i;
    while (i < line.size() && HexValue(line[i]) >= 0) {
        ++i;
    }
    const int digits = i - digitsStart;
    if (digits < 1 || digits > 2 || i >= line.size() || line[i] != ':') {
        return false;
    }
    rest = line.mid(i + 1);
    return true;
}

// The single-frame rule, character by character: drop the first eight characters (three bytes
// and their two separators), strip trailing spaces, one byte per remaining space, read from the
// three characters "$hh" at 3k (spaces shown as '$'); a slice of another shape reads as 0. So an
// adapter message such as "UNABLE TO CONNECT" counts one byte per word after its eighth
// character, each 0.
int ParseSingleFrame(const QByteArray& text, ResponseBuffer& response)
{
    QByteArray rest = text.mid(8);
    while (rest.endsWith(' ')) {
        rest.chop(1);
    }
    const int count = static_cast<int>(rest.count(' '));
    const int stored = std::min(count, kMaxAnswerDataBytes);
    for (int k = 0; k < stored; ++k) {
        const QByteArray slice = rest.mid(3 * k, 3);
        int value = 0;
        if (!slice.isEmpty() && slice[0] == ' ') {
            for (int j = 1; j < slice.size() && HexValue(slice[j]) >= 0; ++j) {
                value = value * 16 + HexValue(slice[j]);
            }
        }
        response[static_cast<std::size_t>(k + 1)] = static_cast<std::uint8_t>(value & 0xFF);
    }
    return stored;
}

} // namespace

QByteArray EncodeRequest(const std::uint8_t* bytes, int length)
{
    static const char kDigits[] = "0123456789ABCDEF";
    QByteArray text;
    if (bytes == nullptr || length <= 0) {
        return text;
    }
    text.reserve(length * 2);
    for (int i = 0; i < length; ++i) {
        text.append(kDigits[bytes[i] >> 4]);
        text.append(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

ParsedAnswer ParseAnswer(const QByteArray& answerText, ResponseBuffer& response)
{
    ParsedAnswer parsed;
    // Negative answers, response-pending ones too, carry nothing for the caller.
    if (answerText.startsWith("7F")) {
        QByteArray flat = answerText;
        flat.replace('\r', ' ').replace('\n', ' ');
        parsed.answerBytes = WordsToBytes(Words(flat));
        return parsed;
    }

    const bool dtcAnswer = answerText.contains("59 02");
    if (answerText.contains(':')) {
        // Multi-frame: the words of the numbered lines in order; the length line and every
        // other line without an index are not data. Line ends CR, LF or CR LF, trailing spaces
        // or none, all give the same bytes.
        QByteArray lines = answerText;
        lines.replace('\n', '\r');
        QList<QByteArray> words;
        for (const QByteArray& line : lines.split('\r')) {
            QByteArray rest;
            if (NumberedLineRest(line, rest)) {
                words.append(Words(rest));
            }
        }
        const int count = std::max(0, static_cast<int>(words.size()) - 3);
        parsed.count = std::min(count, kMaxAnswerDataBytes);
        for (int k = 0; k < parsed.count; ++k) {
            std::uint8_t b = 0;
            if (!WordToByte(words[k + 3], b)) {
                b = 0;
            }
            response[static_cast<std::size_t>(k + 1)] = b;
        }
        parsed.answerBytes = WordsToBytes(words);
    } else {
        QByteArray flat = answerText;
        flat.replace("\r", "").replace("\n", "");
        parsed.count = ParseSingleFrame(flat, response);
        parsed.answerBytes = WordsToBytes(Words(flat));
    }
    if (dtcAnswer) {
        response[0] = static_cast<std::uint8_t>(parsed.count / 4);
    }
    return parsed;
}

} // namespace velmoro
