// The worker's pace: normal or fast refresh, the count digit, and the fall-back.
#include "link/LinkPace.h"

#include "link/AnswerParser.h"

namespace velmoro {

namespace {

constexpr std::uint8_t kReadDataByIdentifier = 0x22;
constexpr std::uint8_t kPositiveOffset = 0x40;
// Bad answers in a row that end fast refresh.
constexpr int kBadAnswersToFallBack = 2;

// Adapter messages that say the adapter or the bus could not keep up.
bool IsTroubleMessage(const QByteArray& text)
{
    return text == "?" || text.contains("BUFFER FULL") || text.contains("CAN ERROR") ||
           text.contains("STOPPED");
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

QByteArray LinkPace::RequestText(const std::uint8_t* request, int length) const
{
    QByteArray text = EncodeRequest(request, length);
    if (fast_ && countDigit_ && singleFrame_.contains(text)) {
        text += " 1";
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
    const QByteArray text = answer.trimmed();
    bool bad = !complete || IsTroubleMessage(text);
    if (text.contains("NO DATA")) {
        bad = bad || answered_.contains(key);
    } else if (!bad) {
        ResponseBuffer scratch{};
        const ParsedAnswer parsed = ParseAnswer(answer, scratch);
        // Noise, a cut line, a wrong index sequence: the adapter did not keep up.
        bad = parsed.shape == AnswerShape::Junk;
        const QByteArray& bytes = parsed.answerBytes;
        if (!bad && !bytes.isEmpty() &&
            static_cast<std::uint8_t>(bytes[0]) ==
                static_cast<std::uint8_t>(request[0] + kPositiveOffset)) {
            answered_.insert(key);
            if (request[0] == kReadDataByIdentifier && !answer.contains(':')) {
                singleFrame_.insert(key);
            } else {
                singleFrame_.remove(key);
            }
        }
    }
    badInARow_ = bad ? badInARow_ + 1 : 0;
    if (badInARow_ < kBadAnswersToFallBack) {
        return false;
    }
    fast_ = false;
    return true;
}

} // namespace velmoro
