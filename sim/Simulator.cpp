// The simulated ELM327 adapter: command lines in, formatted answers out after a latency. What
// each command is answered lives in SimulatorReplies.cpp; here are the bytes, their timing and
// the settings.
#include "sim/Simulator.h"

#include "sim/SimulatedEcu.h"

#include <algorithm>
#include <chrono>

namespace velmoro {

namespace {
// The built-in demo motorcycle runs for hours: the record of what the adapter received keeps
// only the recent past, so it cannot grow without bound.
constexpr qsizetype kMaxRecordedCommands = 200000;
constexpr qsizetype kMaxRecordedBytes = 4 * 1024 * 1024;

constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kNsPerUs = 1000;
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
