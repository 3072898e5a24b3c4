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

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Bytes of the request that the positive answer repeats after its service byte.
int EchoedRequestBytes(std::uint8_t service)
{
    switch (service) {
    case 0x22:
    case 0x2F:
        return 2;
    case 0x10:
    case 0x19:
    case 0x30:
    case 0x31:
    case 0x33:
    case 0x3E:
        return 1;
    default:
        return 0;
    }
}

} // namespace

bool AnswerBelongsTo(const std::uint8_t* request, int length, const QByteArray& answerText)
{
    if (request == nullptr || length < 1) {
        return true;
    }
    const QByteArray text = answerText.trimmed();
    const bool multiFrame = text.contains(':');
    const bool dataWord =
        text.size() >= 2 && IsHexDigit(text[0]) && IsHexDigit(text[1]) &&
        (text.size() == 2 || text[2] == ' ' || text[2] == '\r' || text[2] == '\n');
    if (!multiFrame && !dataWord) {
        return true; // adapter message or nothing at all
    }
    ResponseBuffer scratch{};
    const QByteArray bytes = ParseAnswer(answerText, scratch).answerBytes;
    if (bytes.isEmpty()) {
        return true;
    }
    const auto at = [&bytes](int i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t service = request[0];
    if (at(0) == 0x7F) {
        return bytes.size() < 2 || at(1) == service;
    }
    if (at(0) != static_cast<std::uint8_t>(service + 0x40)) {
        return false;
    }
    const int echo = EchoedRequestBytes(service);
    for (int i = 1; i <= echo && i < length && i < bytes.size(); ++i) {
        if (at(i) != request[i]) {
            return false;
        }
    }
    return true;
}

} // namespace velmoro
