// What the simulated adapter answers: its AT and vendor commands, the ECU's requests formatted
// as CAN frames the way the adapter prints them, and the chaos that spoils them on purpose.
#include "sim/Simulator.h"

#include "link/AnswerParser.h"
#include "sim/SimulatedEcu.h"

#include <algorithm>

namespace velmoro {

namespace {
const QByteArray kBanner = QByteArrayLiteral("ELM327 v1.5");
constexpr int kMaxSingleFrameBytes = 7;
constexpr int kFirstFrameBytes = 6;
constexpr int kNextFrameBytes = 7;

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool AllHex(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsHex);
}
} // namespace

// The reply text of one command without the final blank line and prompt.
Simulator::Reply Simulator::AdapterReply(const QByteArray& c)
{
    const QByteArray eol = Eol();
    const QByteArray ok = QByteArrayLiteral("OK") + eol;
    const QByteArray unknown = QByteArrayLiteral("?") + eol;
    const auto isOneOf = [&c](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&c](const char* n) { return c == n; });
    };

    if (c == "ATZ" || c == "ATWS") {
        ResetAdapter();
        return eol + eol + kBanner + eol;
    }
    if (c == "ATI") {
        return kBanner + eol;
    }
    if (c == "AT@1") {
        return QByteArrayLiteral("OBDII to RS232 Interpreter") + eol;
    }
    if (c == "ATRV") {
        return QByteArrayLiteral("14.1V") + eol;
    }
    if (c == "ATDPN") {
        return QByteArrayLiteral("6") + eol;
    }
    if (c == "ATDP") {
        return QByteArrayLiteral("ISO 15765-4 (CAN 11/500)") + eol;
    }
    if (c == "ATE0" || c == "ATE1") {
        echo_ = c.endsWith('1');
        return ok;
    }
    if (c == "ATS0" || c == "ATS1") {
        spaces_ = c.endsWith('1');
        return ok;
    }
    if (c == "ATH0" || c == "ATH1") {
        headers_ = c.endsWith('1');
        return ok;
    }
    if (c == "ATL0" || c == "ATL1") {
        const bool on = c.endsWith('1');
        linefeeds_ = on;
        return on ? QByteArrayLiteral("OK\r\n") : QByteArrayLiteral("OK\r");
    }
    if (c == "ATD") {
        ResetAdapter();
        echo_ = false; // defaults keep the echo setting the set-up gave
        return ok;
    }
    if (isOneOf({"ATM0", "ATM1", "ATAT0", "ATAT1", "ATAT2", "ATCAF0", "ATCAF1", "ATPC"})) {
        return ok;
    }
    if (c.startsWith("ATSP") || c == "STP33" || c == "VTP233") {
        setUpLost_ = false;
    }
    if (canRefused_ && (c.startsWith("ATSP") || c == "STP33" || c == "VTP233")) {
        return unknown;
    }
    if (c.startsWith("ATSP") || c.startsWith("ATTP")) {
        return c.size() == 5 && IsHex(c[4]) ? ok : unknown;
    }
    if (c.startsWith("ATST") && c.size() == 6 && AllHex(c.mid(4))) {
        return ok;
    }
    if (c.startsWith("ATSH") && (c.size() == 7 || c.size() == 10) && AllHex(c.mid(4))) {
        header_ = c.mid(4).right(3).toInt(nullptr, 16);
        return ok;
    }
    if (c == "ATCRA") {
        receiveFilter_ = -1;
        return ok;
    }
    if (c.startsWith("ATCRA") && c.size() == 8 && AllHex(c.mid(5))) {
        receiveFilter_ = c.mid(5).toInt(nullptr, 16);
        return ok;
    }
    if (options_.identity == AdapterIdentity::Stn) {
        if (c == "STMFR") {
            return QByteArrayLiteral("OBD Solutions LLC") + eol;
        }
        if (c == "STI") {
            return QByteArrayLiteral("STN1110 v4.2.1") + eol;
        }
        if (c == "STP33") {
            return ok;
        }
    }
    if (options_.identity == AdapterIdentity::Vgate) {
        if (c == "VTPROI") {
            return QByteArrayLiteral("Vgate adapter V2.1") + eol;
        }
        if (c == "VTP233") {
            return ok;
        }
    }
    if (AllHex(c)) {
        // Whole bytes, or whole bytes and the response-count digit (1..F).
        const bool counted = c.size() % 2 == 1;
        const QByteArray request = counted ? c.chopped(1) : c;
        const int count = counted ? QByteArray(1, c.back()).toInt(nullptr, 16) : 0;
        if (!request.isEmpty() && request.size() / 2 <= kMaxSingleFrameBytes &&
            (!counted || (options_.countDigit && count > 0))) {
            return EcuReply(request, count);
        }
    }
    return unknown;
}

Simulator::Reply Simulator::EcuReply(const QByteArray& hexRequest, int countDigit)
{
    const QByteArray eol = Eol();
    if (injectedCount_ > 0) {
        --injectedCount_;
        Reply message(injectedMessage_ + eol);
        message.source = Reply::Ecu;
        message.waitForMore = false;
        message.swallowed = injectedMessage_.isEmpty();
        return message;
    }
    const ChaosKind chaos = chaos_.Next();
    Reply chaosReply;
    if (ChaosReplaces(chaos, chaosReply)) {
        return chaosReply;
    }
    Reply reply = EcuAnswerReply(hexRequest, countDigit);
    ChaosChanges(chaos, reply);
    return reply;
}

Simulator::Reply Simulator::EcuAnswerReply(const QByteArray& hexRequest, int countDigit)
{
    const QByteArray eol = Eol();
    Reply noData(QByteArrayLiteral("NO DATA") + eol);
    noData.source = Reply::NoAnswer;
    // Only a request to the ECU's own identifier reaches it; only answers the receive filter
    // lets through come back.
    if (ecuSilent_ || canRefused_ || header_ != 0x7A0 ||
        (receiveFilter_ != -1 && receiveFilter_ != 0x7A8)) {
        return noData;
    }
    const QByteArray request = QByteArray::fromHex(hexRequest);
    const auto matches = [&request](const QByteArrayList& prefixes) {
        return std::any_of(prefixes.begin(), prefixes.end(), [&request](const QByteArray& p) {
            return !p.isEmpty() && request.startsWith(p);
        });
    };
    if (matches(unanswered_))
        return noData;
    const QByteArray answer = matches(refused_)
                                  ? QByteArray("\x7F", 1) + request.left(1) + QByteArray("\x31", 1)
                                  : ecu_->Answer(request, EngineTimeLocked(NowNs()));
    if (answer.isEmpty()) {
        return noData;
    }
    const int frames =
        answer.size() <= kMaxSingleFrameBytes
            ? 1
            : 1 + static_cast<int>((answer.size() - kFirstFrameBytes + kNextFrameBytes - 1) /
                                   kNextFrameBytes);
    Reply reply(FormatFrames(answer, countDigit));
    reply.source = Reply::Ecu;
    // Told how many frames to expect, the adapter stops once it has them.
    reply.waitForMore = countDigit == 0 || countDigit > frames;
    return reply;
}

bool Simulator::ChaosReplaces(ChaosKind kind, Reply& reply)
{
    const QByteArray eol = Eol();
    QByteArray echo;
    switch (kind) {
    case ChaosKind::Message:
        reply = Reply(chaos_.NextMessage() + eol);
        reply.source = Reply::Ecu;
        reply.waitForMore = false;
        return true;
    case ChaosKind::Silent:
        reply.swallowed = true;
        return true;
    case ChaosKind::Restart: {
        // A voltage dip: the adapter starts afresh, echo on, its set-up gone.
        const int shape = chaos_.NextRestartShape();
        ResetAdapter();
        setUpLost_ = true;
        if (shape == 0) {
            reply = Reply(eol + eol + kBanner + eol);
            return true;
        }
        if (shape == 1) {
            reply = Reply(QByteArrayLiteral("LV RESET") + eol + eol + kBanner + eol);
            return true;
        }
        // Restarted before this request came in: it is echoed and meets the lost set-up.
        echo = currentLine_ + eol;
        break;
    }
    default:
        break;
    }
    if (!setUpLost_) {
        return false;
    }
    reply = Reply(echo + QByteArrayLiteral("SEARCHING...") + eol +
                  QByteArrayLiteral("UNABLE TO CONNECT") + eol);
    reply.source = Reply::NoAnswer;
    return true;
}

void Simulator::ChaosChanges(ChaosKind kind, Reply& reply)
{
    switch (kind) {
    case ChaosKind::Status:
        reply.text = QByteArrayLiteral("SEARCHING...") + Eol() + reply.text;
        break;
    case ChaosKind::Noise:
        reply.text = chaos_.AddNoise(reply.text);
        break;
    case ChaosKind::Half:
        reply.text = chaos_.CutInHalf(reply.text);
        reply.waitForMore = false;
        break;
    case ChaosKind::Late:
        reply.extraDelayMs = chaos_.Options().lateMs;
        break;
    default:
        break;
    }
}

QByteArray Simulator::FormatFrames(const QByteArray& data, int maxFrames) const
{
    const QByteArray eol = Eol();
    const QByteArray sep = spaces_ ? QByteArrayLiteral(" ") : QByteArray();
    const bool trail = spaces_ && options_.trailingSpaces;
    const auto bytesText = [&](int from, int count) {
        QByteArray text;
        for (int i = from; i < from + count && i < data.size(); ++i) {
            if (i > from) {
                text += sep;
            }
            text += Hex2(static_cast<std::uint8_t>(data[i]));
        }
        return trail ? text + " " : text;
    };
    const QByteArray header = headers_ ? QByteArrayLiteral("7A8") + sep : QByteArray();
    if (data.size() <= kMaxSingleFrameBytes) {
        const QByteArray pci =
            headers_ ? Hex2(static_cast<std::uint8_t>(data.size())) + sep : QByteArray();
        return header + pci + bytesText(0, static_cast<int>(data.size())) + eol;
    }
    QByteArray out = QByteArray::number(data.size(), 16).toUpper().rightJustified(3, '0');
    out += (trail ? " " : "") + eol;
    int index = 0;
    for (int from = 0; from < data.size() && (maxFrames == 0 || index < maxFrames); ++index) {
        const int count = from == 0 ? kFirstFrameBytes : kNextFrameBytes;
        out += header + QByteArray::number(index % 16, 16).toUpper() + ":" + sep +
               bytesText(from, count) + eol;
        from += count;
    }
    return out;
}

} // namespace velmoro
