// The simulated OBD adapter (ELM327 command set) in front of a simulated ECU of either family.
//
// The simulator is a byte stream: the host writes command bytes, the adapter answers after its
// latency. It is thread-safe: the worker thread reads and writes while a test configures it.
// Used in-process (the session hands it in as the port "Simulator"), on a pseudo-terminal or TCP
// port (the velmoro-sim tool), and from tests with fault injection.
//
// Adapter behaviour: after ATZ echo is on and the banner "ELM327 v1.5" is sent; ATE 0 / ATE0
// switch echo off; known AT/ST commands answer "OK", unknown ones "?"; spaces on, headers off;
// ATSH / ATCRA are honoured (the ECU only hears requests to 7A0 and only answers are passed that
// match the receive filter); "NO DATA" when the ECU is silent; single frames as
// "62 10 30 0B B8 \r\r>", multi-frame answers as the length line and numbered lines
// "008 \r0: 62 10 3C 01 02 03 \r1: 04 05 \r\r>" (indexes wrap after F). A request may end in the
// response-count digit ("221033 1"): the adapter then stops after that many frames.
//
// Timing model (every figure configurable; all zero, the default, is an ideal adapter that
// answers at once, which is what most tests want):
//   - the serial line carries 10 bits a byte (8N1) at baudRate, in both directions: a command
//     is acted on once its CR has crossed, an answer is readable once its last byte has;
//   - the adapter takes processingUs from a command's CR to acting on it;
//   - the ECU answers a diagnostic request after requestLatencyMs (latencyMs delays every
//     command, AT commands too);
//   - after the ECU's answer the adapter waits answerWaitMs for further answers before its
//     prompt, unless the count digit was given and reached; a silent ECU gets NO DATA after
//     the same wait.
// Chaos (options.chaos, SetChaos): a seeded random fault for some diagnostic requests, see
// SimChaos.h.
// RealisticSimulatorOptions() gives the ELM327-like defaults of velmoro-sim and the built-in
// demo motorcycle.
#pragma once

#include "sim/SimChaos.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QtGlobal>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace velmoro {

class SimulatedEcu;

// ECU family numbers, as in LinkSettings::family.
constexpr int kSimFamilyMiug4 = 0;
constexpr int kSimFamily11mp = 1;

enum class AdapterIdentity {
    Elm327Clone, // STMFR and VTPROI answer "?"
    Stn,         // STMFR answers a text containing "OBD Solutions"
    Vgate,       // VTPROI answers a text containing "Vgate"
};

// One fault record. MIUG4 answers hi lo type status; 11MP hi lo status.
struct SimFault {
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    std::uint8_t type = 0;
    std::uint8_t status = 0;
};

// One stored-data block as the ECU hands it out.
struct SimStoredBlock {
    bool skipped = false; // MIUG4: marked 0xAA (no data)
    QByteArray data;
};

struct SimulatorOptions {
    int family = kSimFamilyMiug4;
    int latencyMs = 0;        // from the command's CR to the answer
    int requestLatencyMs = 0; // added for diagnostic requests (hex commands) only: the ECU's time
    AdapterIdentity identity = AdapterIdentity::Elm327Clone;
    bool trailingSpaces = true; // false: numbered lines and length line without trailing space
    bool crlf = false;          // line ends CR LF instead of CR (like ATL1)
    int baudRate = 0;           // serial line speed, both directions; 0: bytes cross at once
    int processingUs = 0;       // from a command's CR to the adapter acting on it
    int answerWaitMs = 0;       // wait for further answers before the prompt (see above)
    bool countDigit = true;     // false: a request ending in a count digit is answered "?"
    ChaosOptions chaos{};       // seeded random faults of diagnostic requests (SimChaos.h)
};

// The model's ELM327-like defaults.
constexpr int kSimBaudRate = 115200;
constexpr int kSimProcessingUs = 1000;
constexpr int kSimAnswerWaitMs = 30;
constexpr int kSimEcuLatencyMs = 5;
SimulatorOptions RealisticSimulatorOptions(int family = kSimFamilyMiug4,
                                           int ecuLatencyMs = kSimEcuLatencyMs);

class Simulator {
public:
    explicit Simulator(const SimulatorOptions& options = {});
    ~Simulator();

    // ---- byte stream (host side) ----
    void Write(const QByteArray& bytes);
    // Bytes whose latency has passed.
    qint64 BytesAvailable();
    QByteArray Read(qint64 maxBytes);
    // Waits up to timeoutMs (real time) for readable bytes; true when some are readable.
    // Returns false at once when the simulator vanished.
    bool WaitForOutput(int timeoutMs);
    // Milliseconds (rounded up) until the next queued byte becomes readable: 0 = now, -1 =
    // nothing queued. UsUntilNextOutput: the same in microseconds.
    int MsUntilNextOutput();
    qint64 UsUntilNextOutput();

    // ---- configuration ----
    void SetFamily(int family); // also resets the ECU state for that family
    int Family() const;
    void SetLatencyMs(int ms);
    void SetIdentity(AdapterIdentity identity);
    void SetTrailingSpaces(bool on);
    void SetCrLf(bool on);

    // ---- fault injection ----
    void SetSilent(bool on);     // commands are swallowed, nothing is answered
    void SetCanRefused(bool on); // not a CAN adapter: "?" to the protocol commands, NO DATA after
    void SetGarbage(bool on);    // answers are binary junk (with a prompt)
    void SetMissingPrompt(bool on);            // answers come without '>'
    void DelayAnswers(int count, int extraMs); // the next count answers come extraMs late
    // The next count diagnostic requests get this adapter message ("BUFFER FULL", "CAN ERROR",
    // "STOPPED", "?", "NO DATA") instead of the ECU's answer; an empty message: no answer at
    // all, not even the prompt.
    void InjectAdapterMessage(const QByteArray& message, int count);
    // Seeded random faults from now on (rate 0: none); the counts start again from zero.
    void SetChaos(const ChaosOptions& chaos);
    // How many diagnostic requests met that fault since the chaos was set.
    int ChaosCount(ChaosKind kind) const;
    // True while the adapter has lost its set-up after a chaos restart: diagnostic requests
    // answer SEARCHING... / UNABLE TO CONNECT until the protocol command comes again.
    bool SetUpLost() const;
    void Vanish(); // the device is gone: reads, writes and waits fail
    void Restore();
    bool Vanished() const;

    // ---- what the adapter received ----
    // Every command line received (without CR), in order, including echo-less set-up commands.
    QByteArrayList ReceivedCommands() const;
    QByteArray ReceivedBytes() const;
    // How many bytes the adapter has sent back (echo, answers, prompts), counted from the last
    // ClearReceived like the above, for the serial line's share of a benchmark's floor.
    qint64 SentByteCount() const;
    void ClearReceived();
    // Waits up to timeoutMs (real time) until command has been received `times` times in all.
    bool WaitForReceived(const QByteArray& command, int timeoutMs, int times = 1);

    // ---- ECU state (visible to and settable by tests) ----
    void SetCurrentFaults(const std::vector<SimFault>& faults);
    void SetStoredFaults(const std::vector<SimFault>& faults);
    std::vector<SimFault> CurrentFaults() const;
    std::vector<SimFault> StoredFaults() const;
    int FaultClearCount() const;
    // Actuator on/off by identifier (MIUG4 0x50xx low byte, 11MP local identifier).
    bool ActuatorOn(int id) const;
    void SetRoutineSucceeds(bool success); // throttle / handle self-learning outcome
    void SetStoredData(const std::vector<SimStoredBlock>& blocks);
    // Freezes the engine's simulated time at ms since start (deterministic values); -1 runs free.
    void SetEngineTimeMs(qint64 ms);
    // The ECU does not answer at all (adapter says NO DATA).
    void SetEcuSilent(bool on);
    // Requests that start with these bytes: refused with 7F <service> 31, or left unanswered
    // (NO DATA), whatever the ECU would say otherwise.
    void RefuseRequests(const QByteArray& prefix);
    void LeaveUnanswered(const QByteArray& prefix);
    // The ignition was switched off and on: the ECU is back in its default session.
    void CycleIgnition();

    // The bytes the ECU answers to request (empty: no answer), without adapter formatting.
    QByteArray EcuAnswer(const QByteArray& request);

private:
    struct Pending {
        qint64 readyAtNs; // its last byte has crossed the serial line
        QByteArray bytes;
    };
    // What the adapter answers to one command line, before the serial line.
    struct Reply {
        Reply(QByteArray t = {}) : text(std::move(t)) {}
        QByteArray text; // up to the blank line and prompt
        // Ecu: the ECU's latency applies; Ecu and NoAnswer: the adapter's wait for (further)
        // answers too, unless waitForMore is false.
        enum Source { Adapter, Ecu, NoAnswer } source = Adapter;
        bool waitForMore = true;
        bool swallowed = false; // nothing at all comes back
        int extraDelayMs = 0;   // a late answer
    };
    // A chaos fault on a diagnostic request: a reply of its own, or reply changed.
    bool ChaosReplaces(ChaosKind kind, Reply& reply);
    void ChaosChanges(ChaosKind kind, Reply& reply);

    void HandleLine(QByteArray line, qint64 crAtNs);
    Reply AdapterReply(const QByteArray& command);
    Reply EcuReply(const QByteArray& hexRequest, int countDigit);
    Reply EcuAnswerReply(const QByteArray& hexRequest, int countDigit);
    QByteArray FormatFrames(const QByteArray& data, int maxFrames) const;
    QByteArray Eol() const;
    void ResetAdapter();
    // Sends bytes down the serial line, starting no earlier than startNs.
    void Queue(QByteArray bytes, qint64 startNs);
    qint64 ByteNs() const;
    qint64 ReadableLocked(qint64 nowNs) const;
    qint64 EngineTimeLocked(qint64 nowNs) const;
    static qint64 NowNs();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    SimulatorOptions options_;
    std::unique_ptr<SimulatedEcu> ecu_;
    // Adapter state, as ATZ leaves it.
    bool echo_ = true;
    bool spaces_ = true;
    bool headers_ = false;
    bool linefeeds_ = false;
    int header_ = 0x7DF;
    int receiveFilter_ = -1; // -1: every identifier
    QByteArray lastCommand_;
    QByteArray lineBuffer_;
    std::deque<Pending> output_;
    qint64 outputFreeAtNs_ = 0; // the serial line towards the host is busy until then
    qint64 inputFreeAtNs_ = 0;  // and the one from the host
    QByteArray injectedMessage_;
    int injectedCount_ = 0;
    // Fault injection.
    bool silent_ = false;
    bool garbage_ = false;
    bool missingPrompt_ = false;
    bool vanished_ = false;
    bool ecuSilent_ = false;
    bool canRefused_ = false;
    SimChaos chaos_;
    bool setUpLost_ = false; // a chaos restart: protocol lost until ATSP / STP / VTP2 again
    QByteArray currentLine_; // the command line being answered, as it came
    QByteArrayList refused_;
    QByteArrayList unanswered_;
    int delayedAnswers_ = 0;
    int delayExtraMs_ = 0;
    // What arrived.
    QByteArrayList received_;
    QByteArray receivedBytes_;
    qint64 sentByteCount_ = 0;
    qint64 engineStartMs_ = 0;
    qint64 frozenEngineMs_ = -1;
};

} // namespace velmoro
