// Request encoding and answer parsing of the request channel.
#include "link/AnswerParser.h"

#include <QList>
#include <algorithm>

namespace velmoro {

namespace {

// Longest answer kept in ParsedAnswer::answerBytes; junk floods are cut here.
constexpr int kMaxAnswerBytesKept = 4096;
constexpr std::uint8_t kNegativeResponse = 0x7F;
constexpr std::uint8_t kPositiveOffset = 0x40;
// The service byte and the two bytes after it, which no caller reads.
constexpr int kAnswerHeadBytes = 3;
// Bytes in the first and in every further line of a multi-frame answer; more in one line is
// not what the adapter prints.
constexpr int kMaxFrameBytes = 7;

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

// The answer's lines, trimmed, blank ones left out.
QList<QByteArray> Lines(const QByteArray& text)
{
    QByteArray flat = text;
    flat.replace('\n', '\r');
    QList<QByteArray> lines;
    for (const QByteArray& line : flat.split('\r')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty()) {
            lines.append(trimmed);
        }
    }
    return lines;
}

// Lines the adapter prints while it finds its way to the bus; they are not the answer.
bool IsStatusLine(const QByteArray& line)
{
    return line == "SEARCHING..." || (line.startsWith("BUS INIT") && line.endsWith("OK"));
}

// The adapter's own words: the answer carried no data, for a reason the adapter names.
bool IsAdapterMessage(const QByteArray& line)
{
    static const char* const kMessages[] = {
        "NO DATA",
        "UNABLE TO CONNECT",
        "CAN ERROR",
        "BUFFER FULL",
        "BUS BUSY",
        "BUS ERROR",
        "DATA ERROR",
        "<DATA ERROR",
        "<RX ERROR",
        "RX ERROR",
        "FB ERROR",
        "STOPPED",
        "?",
        "ACT ALERT",
        "LV RESET",
        "OUT OF MEMORY",
        "FC RX TIMEOUT",
        "BUS INIT: ...ERROR",
    };
    for (const char* message : kMessages) {
        if (line == message) {
            return true;
        }
    }
    if (line.startsWith("ELM327") || line.startsWith("DATA ERROR")) {
        return true;
    }
    // ERRxx: the adapter's numbered internal errors.
    return line.size() == 5 && line.startsWith("ERR") && HexValue(line[3]) >= 0 &&
           HexValue(line[4]) >= 0;
}

// A line of words of exactly two hex digits each, separated by single or several spaces.
bool ReadByteWords(const QByteArray& text, QByteArray& bytes)
{
    bool any = false;
    for (const QByteArray& word : text.split(' ')) {
        if (word.isEmpty()) {
            continue;
        }
        const int hi = word.size() == 2 ? HexValue(word[0]) : -1;
        const int lo = word.size() == 2 ? HexValue(word[1]) : -1;
        if (hi < 0 || lo < 0) {
            return false;
        }
        if (bytes.size() < kMaxAnswerBytesKept) {
            bytes.append(static_cast<char>(hi * 16 + lo));
        }
        any = true;
    }
    return any;
}

// The length line of a multi-frame answer: three hex digits (one to three accepted).
bool ReadLengthLine(const QByteArray& line, int& length)
{
    if (line.isEmpty() || line.size() > 3) {
        return false;
    }
    length = 0;
    for (char c : line) {
        if (HexValue(c) < 0) {
            return false;
        }
        length = length * 16 + HexValue(c);
    }
    return length > 0;
}

// "3: 04 05": index 3, bytes 04 05.
bool ReadNumberedLine(const QByteArray& line, int& index, QByteArray& bytes)
{
    const int colon = static_cast<int>(line.indexOf(':'));
    if (colon != 1 || HexValue(line[0]) < 0) {
        return false;
    }
    index = HexValue(line[0]);
    QByteArray lineBytes;
    if (!ReadByteWords(line.mid(colon + 1), lineBytes) || lineBytes.size() > kMaxFrameBytes) {
        return false;
    }
    bytes.append(lineBytes);
    return true;
}

struct CleanAnswer {
    AnswerShape shape = AnswerShape::Empty;
    QByteArray bytes; // Data only
};

CleanAnswer ReadCleanAnswer(const QByteArray& text)
{
    CleanAnswer clean;
    QList<QByteArray> lines;
    bool message = false;
    bool junk = false;
    for (const QByteArray& line : Lines(text)) {
        if (IsStatusLine(line)) {
            continue;
        }
        if (IsAdapterMessage(line)) {
            message = true;
        }
        lines.append(line);
    }
    if (lines.isEmpty()) {
        return clean;
    }
    if (lines.size() == 1) {
        QByteArray bytes;
        if (ReadByteWords(lines[0], bytes)) {
            clean.shape = AnswerShape::Data;
            clean.bytes = bytes;
            return clean;
        }
        junk = !message;
    } else if (!message) {
        // Several lines: a negative answer may come ahead of the real one (response pending),
        // and is all the caller gets.
        QByteArray first;
        if (ReadByteWords(lines[0], first) &&
            static_cast<std::uint8_t>(first[0]) == kNegativeResponse) {
            clean.shape = AnswerShape::Data;
            clean.bytes = first;
            return clean;
        }
        int length = 0;
        QByteArray bytes;
        bool whole = ReadLengthLine(lines[0], length);
        for (int i = 1; whole && i < lines.size(); ++i) {
            int index = -1;
            whole = ReadNumberedLine(lines[i], index, bytes) && index == (i - 1) % 16;
        }
        if (whole && bytes.size() == length) {
            clean.shape = AnswerShape::Data;
            clean.bytes = bytes;
            return clean;
        }
        junk = true;
    }
    // An adapter message among other lines is still the adapter's word; text that is neither
    // a message nor clean data is junk.
    for (const QByteArray& line : lines) {
        QByteArray ignored;
        if (!IsAdapterMessage(line) && !ReadByteWords(line, ignored)) {
            junk = true;
        }
    }
    clean.shape = junk ? AnswerShape::Junk : AnswerShape::Message;
    return clean;
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

// bytes start with the positive answer to request: service + 0x40, then the echoed bytes as far
// as the answer goes.
bool IsPositiveAnswerTo(const std::uint8_t* request, int length, const QByteArray& bytes)
{
    const auto at = [&bytes](int i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (bytes.isEmpty() || at(0) != static_cast<std::uint8_t>(request[0] + kPositiveOffset)) {
        return false;
    }
    const int echo = EchoedRequestBytes(request[0]);
    for (int i = 1; i <= echo && i < length && i < bytes.size(); ++i) {
        if (at(i) != request[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

QByteArray Hex2(std::uint8_t byte)
{
    return EncodeRequest(&byte, 1);
}

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

ParsedAnswer ParseAnswer(const QByteArray& answerText, ResponseBuffer& response,
                         const std::uint8_t* request, int requestLength)
{
    ParsedAnswer parsed;
    const CleanAnswer clean = ReadCleanAnswer(answerText);
    parsed.shape = clean.shape;
    parsed.answerBytes = clean.bytes;
    if (clean.shape != AnswerShape::Data) {
        return parsed;
    }
    const auto at = [&clean](int i) { return static_cast<std::uint8_t>(clean.bytes[i]); };
    // Negative answers, response-pending ones too, carry nothing for the caller.
    if (at(0) == kNegativeResponse) {
        parsed.shape = AnswerShape::Negative;
        return parsed;
    }
    if (request != nullptr && requestLength > 0 &&
        !IsPositiveAnswerTo(request, requestLength, clean.bytes)) {
        parsed.shape = AnswerShape::Foreign;
        parsed.answerBytes.clear();
        return parsed;
    }
    const int count = std::max(0, static_cast<int>(clean.bytes.size()) - kAnswerHeadBytes);
    parsed.count = std::min(count, kMaxAnswerDataBytes);
    for (int k = 0; k < parsed.count; ++k) {
        response[static_cast<std::size_t>(k + 1)] = at(k + kAnswerHeadBytes);
    }
    if (clean.bytes.size() >= 2 && at(0) == 0x59 && at(1) == 0x02) {
        response[0] = static_cast<std::uint8_t>(parsed.count / 4);
    }
    return parsed;
}

QByteArray AdapterRestartSign(const QByteArray& answerText, const QByteArray& commandSent)
{
    const QList<QByteArray> lines = Lines(answerText);
    if (!commandSent.isEmpty() && !lines.isEmpty() && lines[0] == commandSent.trimmed()) {
        return lines[0];
    }
    for (const QByteArray& line : lines) {
        if (line.startsWith("ELM327") || line == "LV RESET" || line == "SEARCHING..." ||
            line == "UNABLE TO CONNECT") {
            return line;
        }
    }
    return {};
}

bool AnswerBelongsTo(const std::uint8_t* request, int length, const QByteArray& answerText)
{
    if (request == nullptr || length < 1) {
        return true;
    }
    ResponseBuffer scratch{};
    const ParsedAnswer parsed = ParseAnswer(answerText, scratch);
    const QByteArray& bytes = parsed.answerBytes;
    if (bytes.isEmpty()) {
        return true; // adapter message, junk or nothing at all
    }
    const auto at = [&bytes](int i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (at(0) == kNegativeResponse) {
        return bytes.size() < 2 || at(1) == request[0];
    }
    return IsPositiveAnswerTo(request, length, bytes);
}

} // namespace velmoro
