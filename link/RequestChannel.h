// The request channel between the callers of Exchange and the communication worker.
//
// Contracts that may surprise:
// - Exchange returns kExchangeNotConnected at once, sending nothing, unless the worker is running.
// - Callers are served one at a time in arrival order; each gets its own answer.
// - A caller is woken as soon as its answer is parsed; stopFlag ends every wait with -1.
// - The response buffer persists between exchanges: DtcCount (element 0) changes only on answers
//   containing "59 02", and bytes beyond an answer's count keep what earlier answers left.
#pragma once

#include "link/Exchange.h"
#include "link/LinkFlags.h"

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

    // Parser state lives with the channel: the worker parses into this buffer.
    ResponseBuffer& WorkerResponseBuffer() { return response_; }

    // Ends every pending and later wait with -1 (disconnect, link lost); the next connect
    // calls Reset.
    void Abort();
    void Reset();

    LinkFlags& Flags() { return flags_; }

private:
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
};

} // namespace velmoro
