// The request channel between the callers of Exchange and the communication worker.
//
// Contracts that may surprise:
// - Exchange returns kExchangeNotConnected at once, sending nothing, unless the worker is running.
// - A length outside 1..16 returns kExchangeNothingSent at once.
// - Callers are served one at a time in arrival order; each gets its own answer.
// - A caller is woken as soon as its answer is parsed; stopFlag ends every wait with -1 (within
//   kStopPollMs, at once when the stop comes through Stop()).
// - The response buffer persists between exchanges: DtcCount (element 0) changes only on answers
//   containing "59 02", and bytes beyond an answer's count keep what earlier answers left.
#pragma once

#include "link/Exchange.h"
#include "link/LinkFlags.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmoro {

class RequestChannel : public ExchangeLink {
public:
    explicit RequestChannel(LinkFlags& flags) : flags_(flags) {}

    using ExchangeLink::Exchange;
    ExchangeResult Exchange(const std::uint8_t* request, int length) override;

    // Worker side. Waits up to timeoutMs for a pending request; true when one is pending and
    // copies it out. The worker then calls Complete with the parsed result.
    bool WaitForRequest(int timeoutMs, RequestBuffer& request, int& length);
    void Complete(int result, const ResponseBuffer& response, const QByteArray& answerBytes);
    // How many exchanges so far brought an answer from the ECU, negative ones included; the
    // worker's own requests (the set-up's session request) count through NoteEcuAnswer.
    std::uint64_t EcuAnswers() const { return ecuAnswers_.load(); }
    void NoteEcuAnswer() { ++ecuAnswers_; }

    // A copy of the response buffer as the last exchange left it (the worker parses into a copy
    // and hands it back through Complete).
    ResponseBuffer WorkerResponseBuffer();

    // Ends every pending and later wait with -1 (disconnect, link lost); the next connect
    // calls Reset.
    void Abort();
    void Reset();
    // Sets stopFlag and wakes every waiter, caller or worker, at once.
    void Stop();

    LinkFlags& Flags() { return flags_; }

private:
    bool StopRequested() const;

    LinkFlags& flags_;
    std::mutex callerMutex_; // serialises callers of Exchange
    std::mutex mutex_;       // LinkMutex: guards the fields below
    std::condition_variable changed_;
    RequestBuffer request_{};
    int requestLength_ = -3;
    int result_ = -100;
    ResponseBuffer response_{};
    QByteArray answerBytes_;
    bool aborted_ = false;
    bool inFlight_ = false;      // the worker took the pending request
    std::uint64_t sequence_ = 0; // number of the latest request
    std::uint64_t takenSequence_ = 0;
    std::uint64_t completedSequence_ = 0;
    std::atomic<std::uint64_t> ecuAnswers_{0};
};

} // namespace velmoro
