// The worker's pace: normal or fast refresh, the count digit, and the fall-back.
#include "link/LinkPace.h"

#include "link/AnswerParser.h"

#include <QList>

namespace velmoro {

namespace {

constexpr std::uint8_t kReadDataByIdentifier = 0x22;
constexpr std::uint8_t kPositiveOffset = 0x40;
// Bad answers in a row that end fast refresh.
constexpr int kBadAnswersToFallBack = 2;
// The count digit is one hex digit: 1..F frames.
constexpr int kMostCountedFrames = 15;

// Adapter messages that say the adapter or the bus could not keep up.
bool IsTroubleMessage(const QByteArray& text)
{
    return text == "?" || text.contains("BUFFER FULL") || text.contains("CAN ERROR") ||
           text.contains("STOPPED");
}

bool AllHex(const QByteArray& text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) {
            return false;
        }
    }
    return true;
}

} // namespace

QByteArray LinkPace::CountDigitProbe()
{
    // TesterPresent, which the ECU takes at any time, told to expect one answer.
    return QByteArrayLiteral("3E00 1");
}

void LinkPace::TakeProbeAnswer(const QByteArray& answer, bool complete)
{
    // An adapter that does not know the digit answers "?" without asking the ECU.
    countDigit_ = fast_ && complete && answer.trimmed() != "?";
}

namespace {

struct FrameCount {
    int announced = -1; // the length line's byte count; -1: no length line
    int frames = 0;     // numbered lines
    int bytes = 0;      // words on them
};

FrameCount CountFrames(const QByteArray& answer)
{
    FrameCount count;
    QByteArray text = answer;
    text.replace('\n', '\r');
    for (const QByteArray& raw : text.split('\r')) {
        const QByteArray line = raw.trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            // The length line: three hex digits, the answer's byte count, before the frames.
            if (count.announced < 0 && count.frames == 0 && line.size() == 3 && AllHex(line)) {
                count.announced = line.toInt(nullptr, 16);
            }
            continue;
        }
        ++count.frames;
        const QByteArray data = line.mid(colon + 1).simplified();
        count.bytes += data.isEmpty() ? 0 : static_cast<int>(data.count(' ')) + 1;
    }
    return count;
}

} // namespace

bool LinkPace::CutShort(const QByteArray& answer)
{
    if (!answer.contains(':')) {
        return false;
    }
    const FrameCount count = CountFrames(answer);
    return count.announced >= 0 && count.bytes < count.announced;
}

int LinkPace::AnswerFrames(const QByteArray& answer)
{
    if (!answer.contains(':')) {
        return 1;
    }
    const FrameCount count = CountFrames(answer);
    return count.announced >= 0 && count.bytes < count.announced ? 0 : count.frames;
}

int LinkPace::DigitFor(const QByteArray& key) const
{
    return fast_ && countDigit_ ? frames_.value(key, 0) : 0;
}

QByteArray LinkPace::RequestText(const std::uint8_t* request, int length) const
{
    QByteArray text = EncodeRequest(request, length);
    if (const int digit = DigitFor(text); digit > 0) {
        text += ' ';
        text += QByteArray::number(digit, 16).toUpper();
    }
    return text;
}

bool LinkPace::Judge(const std::uint8_t* request, int length, const QByteArray& answer,
                     bool complete)
{
    if (!fast_ || request == nullptr || length < 1) {
        return false;
    }
    const QByteArray key = EncodeRequest(request, length);
    // The digit this request went out with.
    const int digit = DigitFor(key);
    const QByteArray text = answer.trimmed();
    bool bad = !complete || IsTroubleMessage(text);
    // A short answer or none at all, after the digit: the digit may be what cut it.
    bool plainFromNowOn = !complete && digit > 0;
    if (text.contains("NO DATA")) {
        bad = bad || answered_.contains(key);
    } else if (!bad) {
        ResponseBuffer scratch{};
        const ParsedAnswer parsed = ParseAnswer(answer, scratch);
        // Noise, a cut line, a wrong index sequence: the adapter did not keep up.
        bad = parsed.shape == AnswerShape::Junk;
        // Fewer bytes than its length line announces after the digit: the digit may have cut it.
        if (bad && digit > 0 && CutShort(answer)) {
            plainFromNowOn = true;
        }
        const QByteArray& bytes = parsed.answerBytes;
        if (!bad && !bytes.isEmpty() &&
            static_cast<std::uint8_t>(bytes[0]) ==
                static_cast<std::uint8_t>(request[0] + kPositiveOffset)) {
            answered_.insert(key);
            const int frames = AnswerFrames(answer);
            if (frames == 0 || frames < digit) {
                // Cut short: the adapter stopped before the whole answer was there.
                bad = true;
                plainFromNowOn = digit > 0;
            } else if (request[0] == kReadDataByIdentifier && frames <= kMostCountedFrames &&
                       !plainOnly_.contains(key)) {
                frames_.insert(key, frames);
            } else {
                frames_.remove(key);
            }
        }
    }
    if (plainFromNowOn) {
        frames_.remove(key);
        plainOnly_.insert(key);
    }
    badInARow_ = bad ? badInARow_ + 1 : 0;
    if (badInARow_ < kBadAnswersToFallBack) {
        return false;
    }
    fast_ = false;
    return true;
}

} // namespace velmoro
