// The request channel: callers hand one request at a time to the worker and wait for its answer.
#include "link/RequestChannel.h"

#include "link/LinkTimings.h"

#include <algorithm>
#include <chrono>

namespace velmoro {

bool RequestChannel::StopRequested() const
{
    return flags_.stopFlag.load() != 0;
}

ExchangeResult RequestChannel::Exchange(const std::uint8_t* request, int length)
{
    ExchangeResult out;
    if (flags_.workerState.load() != kWorkerRunning) {
        return out;
    }
    if (request == nullptr || length < 1 || length > kRequestBufferSize) {
        out.result = kExchangeNothingSent;
        return out;
    }

    std::lock_guard<std::mutex> turn(callerMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (aborted_ || StopRequested() || flags_.workerState.load() != kWorkerRunning) {
        return out;
    }
    std::copy(request, request + length, request_.begin());
    requestLength_ = length;
    result_ = -1;
    inFlight_ = false;
    const std::uint64_t mine = ++sequence_;
    changed_.notify_all();

    for (;;) {
        if (completedSequence_ == mine) {
            out.result = result_;
            out.response = response_;
            out.answerBytes = answerBytes_;
            return out;
        }
        if (aborted_ || StopRequested()) {
            if (!aborted_ && !inFlight_) {
                requestLength_ = 0; // withdrawn before the worker took it
            }
            out.result = kExchangeNotConnected;
            out.response = response_;
            return out;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(kStopPollMs));
    }
}

bool RequestChannel::WaitForRequest(int timeoutMs, RequestBuffer& request, int& length)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto pending = [this] {
        return !aborted_ && requestLength_ > 0 && !inFlight_ && completedSequence_ != sequence_;
    };
    if (!changed_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), pending)) {
        return false;
    }
    request = request_;
    length = requestLength_;
    inFlight_ = true;
    takenSequence_ = sequence_;
    return true;
}

void RequestChannel::Complete(int result, const ResponseBuffer& response,
                              const QByteArray& answerBytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    response_ = response;
    if (aborted_ || !inFlight_ || takenSequence_ != sequence_) {
        return; // the caller gave up; its successor must not see this result
    }
    result_ = result;
    answerBytes_ = answerBytes;
    if (!answerBytes.isEmpty())
        ++ecuAnswers_;
    requestLength_ = 0;
    inFlight_ = false;
    completedSequence_ = takenSequence_;
    changed_.notify_all();
}

ResponseBuffer RequestChannel::WorkerResponseBuffer()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return response_;
}

void RequestChannel::Abort()
{
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    requestLength_ = -1;
    result_ = -1;
    inFlight_ = false;
    changed_.notify_all();
}

void RequestChannel::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = false;
    requestLength_ = 0;
    result_ = -100;
    inFlight_ = false;
    completedSequence_ = sequence_;
    changed_.notify_all();
}

void RequestChannel::Stop()
{
    flags_.stopFlag.store(1);
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

} // namespace velmoro
