// The simulated ELM327 adapter: command lines in, formatted answers out after a latency.
#include "sim/Simulator.h"

#include "link/AnswerParser.h"
#include "sim/SimulatedEcu.h"

#include <algorithm>
#include <chrono>

namespace velmoro {

namespace {
// The built-in demo motorcycle runs for hours: the record of what the adapter received keeps
// only the recent past, so it cannot grow without bound.
constexpr qsizetype kMaxRecordedCommands = 200000;
constexpr qsizetype kMaxRecordedBytes = 4 * 1024 * 1024;

const QByteArray kBanner = QByteArrayLiteral("ELM327 v1.5");
constexpr int kMaxSingleFrameBytes = 7;
constexpr int kFirstFrameBytes = 6;
constexpr int kNextFrameBytes = 7;
constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kNsPerUs = 1000;

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool AllHex(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsHex);
}

} // namespace

SimulatorOptions RealisticSimulatorOptions(int family, int ecuLatencyMs)
{
    SimulatorOptions options;
    options.family = family;
    options.requestLatencyMs = ecuLatencyMs;
    options.baudRate = kSimBaudRate;
    options.processingUs = kSimProcessingUs;
    options.answerWaitMs = kSimAnswerWaitMs;
    return options;
}

Simulator::Simulator(const SimulatorOptions& options)
    : options_(options), ecu_(std::make_unique<SimulatedEcu>(options.family)),
      chaos_(options.chaos), engineStartMs_(NowNs() / kNsPerMs)
{
    ResetAdapter();
}

Simulator::~Simulator() = default;

qint64 Simulator::NowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 Simulator::ByteNs() const
{
    // Start bit, eight data bits, stop bit.
    return options_.baudRate > 0 ? 10 * 1000000000LL / options_.baudRate : 0;
}

void Simulator::ResetAdapter()
{
    echo_ = true;
    spaces_ = true;
    headers_ = false;
    linefeeds_ = options_.crlf;
    header_ = 0x7DF;
    receiveFilter_ = -1;
}

QByteArray Simulator::Eol() const
{
    return linefeeds_ ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
}

// ---- byte stream ----

void Simulator::Write(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (vanished_) {
        return;
    }
    receivedBytes_.append(bytes);
    if (receivedBytes_.size() > kMaxRecordedBytes) {
        receivedBytes_.remove(0, receivedBytes_.size() - kMaxRecordedBytes / 2);
    }
    // Each byte crosses the line after the one before it.
    qint64 arrivedNs = std::max(NowNs(), inputFreeAtNs_);
    for (char c : bytes) {
        arrivedNs += ByteNs();
        if (c == '\r') {
            HandleLine(lineBuffer_, arrivedNs);
            lineBuffer_.clear();
        } else if (c != '\n' && lineBuffer_.size() < 256) {
            lineBuffer_.append(c);
        }
    }
    inputFreeAtNs_ = arrivedNs;
    changed_.notify_all();
}

qint64 Simulator::ReadableLocked(qint64 nowNs) const
{
    qint64 n = 0;
    for (const Pending& p : output_) {
        if (p.readyAtNs > nowNs) {
            break;
        }
        n += p.bytes.size();
    }
    return n;
}

qint64 Simulator::BytesAvailable()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return vanished_ ? 0 : ReadableLocked(NowNs());
}

QByteArray Simulator::Read(qint64 maxBytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    QByteArray out;
    if (vanished_) {
        return out;
    }
    const qint64 now = NowNs();
    while (!output_.empty() && out.size() < maxBytes && output_.front().readyAtNs <= now) {
        Pending& p = output_.front();
        const qint64 take = std::min<qint64>(maxBytes - out.size(), p.bytes.size());
        out.append(p.bytes.left(take));
        p.bytes.remove(0, take);
        if (p.bytes.isEmpty()) {
            output_.pop_front();
        }
    }
    return out;
}

bool Simulator::WaitForOutput(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (vanished_) {
            return false;
        }
        if (ReadableLocked(NowNs()) > 0) {
            return true;
        }
        auto wakeAt = deadline;
        if (!output_.empty()) {
            // The very moment the next bytes become readable.
            const std::chrono::steady_clock::time_point readyAt{
                std::chrono::nanoseconds(output_.front().readyAtNs)};
            wakeAt = std::min(wakeAt, readyAt);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        changed_.wait_until(lock, wakeAt);
    }
}

qint64 Simulator::UsUntilNextOutput()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (output_.empty() || vanished_) {
        return -1;
    }
    const qint64 leftNs = std::max<qint64>(0, output_.front().readyAtNs - NowNs());
    return (leftNs + kNsPerUs - 1) / kNsPerUs;
}

int Simulator::MsUntilNextOutput()
{
    const qint64 us = UsUntilNextOutput();
    return us < 0 ? -1 : static_cast<int>((us + 999) / 1000);
}

void Simulator::Queue(QByteArray bytes, qint64 startNs)
{
    if (bytes.isEmpty()) {
        return;
    }
    // Answers leave the adapter in the order they were made, one byte after the other.
    sentByteCount_ += bytes.size();
    outputFreeAtNs_ = std::max(outputFreeAtNs_, startNs) + ByteNs() * bytes.size();
    output_.push_back({outputFreeAtNs_, std::move(bytes)});
}

// ---- the adapter ----

void Simulator::HandleLine(QByteArray line, qint64 crAtNs)
{
    received_.append(line);
    if (received_.size() > kMaxRecordedCommands) {
        received_.erase(received_.begin(),
                        received_.begin() + (received_.size() - kMaxRecordedCommands / 2));
    }
    if (silent_) {
        return;
    }
    if (echo_) {
        Queue(line + Eol(), crAtNs);
    }
    QByteArray command = line.toUpper();
    command.replace(" ", "");
    command.replace("\t", "");
    if (command.isEmpty()) {
        command = lastCommand_; // a bare CR repeats the last command
    } else {
        lastCommand_ = command;
    }
    currentLine_ = line;
    Reply reply = command.isEmpty() ? Reply{} : AdapterReply(command);
    if (reply.swallowed) {
        return;
    }
    QByteArray prompt = Eol() + ">";
    if (garbage_) {
        reply.text.clear();
        prompt = QByteArray("\x01\xFE\x7FZ\x00%#\x80?", 10) + ">";
    }
    if (missingPrompt_) {
        prompt.chop(1);
    }
    qint64 answerAtNs = crAtNs + options_.processingUs * kNsPerUs + options_.latencyMs * kNsPerMs;
    qint64 promptAfterNs = 0;
    if (reply.source == Reply::Ecu) {
        answerAtNs += options_.requestLatencyMs * kNsPerMs;
    }
    if (reply.source != Reply::Adapter && reply.waitForMore) {
        promptAfterNs = options_.answerWaitMs * kNsPerMs;
    }
    answerAtNs += reply.extraDelayMs * kNsPerMs;
    if (delayedAnswers_ > 0) {
        --delayedAnswers_;
        answerAtNs += delayExtraMs_ * kNsPerMs;
    }
    if (promptAfterNs == 0) {
        Queue(reply.text + prompt, answerAtNs);
    } else {
        Queue(reply.text, answerAtNs);
        Queue(prompt, answerAtNs + promptAfterNs);
    }
}

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

qint64 Simulator::EngineTimeLocked(qint64 nowNs) const
{
    return frozenEngineMs_ >= 0 ? frozenEngineMs_ : nowNs / kNsPerMs - engineStartMs_;
}

// ---- configuration and injection ----

void Simulator::SetFamily(int family)
{
    std::lock_guard<std::mutex> lock(mutex_);
    options_.family = family == kSimFamily11mp ? kSimFamily11mp : kSimFamilyMiug4;
    ecu_ = std::make_unique<SimulatedEcu>(options_.family);
}

int Simulator::Family() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return options_.family;
}

void Simulator::SetLatencyMs(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    options_.latencyMs = std::max(0, ms);
}

void Simulator::SetIdentity(AdapterIdentity identity)
{
    std::lock_guard<std::mutex> lock(mutex_);
    options_.identity = identity;
}

void Simulator::SetTrailingSpaces(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    options_.trailingSpaces = on;
}

void Simulator::SetCrLf(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    options_.crlf = on;
    linefeeds_ = on;
}

void Simulator::SetSilent(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    silent_ = on;
}

void Simulator::SetCanRefused(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    canRefused_ = on;
}

void Simulator::SetGarbage(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    garbage_ = on;
}

void Simulator::SetMissingPrompt(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    missingPrompt_ = on;
}

void Simulator::DelayAnswers(int count, int extraMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    delayedAnswers_ = std::max(0, count);
    delayExtraMs_ = std::max(0, extraMs);
}

void Simulator::InjectAdapterMessage(const QByteArray& message, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    injectedMessage_ = message;
    injectedCount_ = std::max(0, count);
}

void Simulator::SetChaos(const ChaosOptions& chaos)
{
    std::lock_guard<std::mutex> lock(mutex_);
    chaos_ = SimChaos(chaos);
    options_.chaos = chaos;
}

int Simulator::ChaosCount(ChaosKind kind) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return chaos_.Count(kind);
}

bool Simulator::SetUpLost() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return setUpLost_;
}

void Simulator::Vanish()
{
    std::lock_guard<std::mutex> lock(mutex_);
    vanished_ = true;
    output_.clear();
    outputFreeAtNs_ = 0;
    inputFreeAtNs_ = 0;
    changed_.notify_all();
}

void Simulator::Restore()
{
    std::lock_guard<std::mutex> lock(mutex_);
    vanished_ = false;
    lineBuffer_.clear();
    changed_.notify_all();
}

bool Simulator::Vanished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return vanished_;
}

QByteArrayList Simulator::ReceivedCommands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

QByteArray Simulator::ReceivedBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return receivedBytes_;
}

qint64 Simulator::SentByteCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sentByteCount_;
}

void Simulator::ClearReceived()
{
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    receivedBytes_.clear();
    sentByteCount_ = 0;
}

bool Simulator::WaitForReceived(const QByteArray& command, int timeoutMs, int times)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.count(command) >= times; });
}

void Simulator::SetCurrentFaults(const std::vector<SimFault>& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecu_->currentFaults = faults;
}

void Simulator::SetStoredFaults(const std::vector<SimFault>& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecu_->storedFaults = faults;
}

std::vector<SimFault> Simulator::CurrentFaults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_->currentFaults;
}

std::vector<SimFault> Simulator::StoredFaults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_->storedFaults;
}

int Simulator::FaultClearCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_->faultClearCount;
}

bool Simulator::ActuatorOn(int id) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = ecu_->actuators.find(id);
    return it != ecu_->actuators.end() && it->second;
}

void Simulator::SetRoutineSucceeds(bool success)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecu_->routineSucceeds = success;
}

void Simulator::SetStoredData(const std::vector<SimStoredBlock>& blocks)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecu_->storedData = blocks;
}

void Simulator::SetEngineTimeMs(qint64 ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    frozenEngineMs_ = ms < 0 ? -1 : ms;
    if (ms < 0) {
        engineStartMs_ = NowNs() / kNsPerMs;
    }
}

void Simulator::SetEcuSilent(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecuSilent_ = on;
}

void Simulator::RefuseRequests(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.append(prefix);
}

void Simulator::LeaveUnanswered(const QByteArray& prefix)
{
    std::lock_guard<std::mutex> lock(mutex_);
    unanswered_.append(prefix);
}

void Simulator::CycleIgnition()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ecu_->defaultSession = true;
}

QByteArray Simulator::EcuAnswer(const QByteArray& request)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ecu_->Answer(request, EngineTimeLocked(NowNs()));
}

} // namespace velmoro
