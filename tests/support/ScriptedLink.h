// The scripted ExchangeLink of the unit tests: answers requests like the request channel would
// parse the ECU's answer bytes, keeps the response buffer between exchanges and records every
// request. Answers come from a queue (in order, whatever was asked), else from a script per
// request, else from a responder.
#pragma once

#include "link/Exchange.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <functional>
#include <mutex>

namespace velmoro::test {

// "62 10 30 0B B8" -> bytes.
inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

class ScriptedLink : public ExchangeLink {
public:
    using ExchangeLink::Exchange;

    // Every later `request` is answered with `answer` (answer bytes incl. the first three; empty:
    // NO DATA). Several answers are handed out in turn, the last one repeating.
    void Answer(const QByteArray& request, const QByteArray& answer)
    {
        AnswerInTurn(request, {answer});
    }
    void AnswerInTurn(const QByteArray& request, const QByteArrayList& answers)
    {
        std::lock_guard lock(mutex_);
        script_[request] = answers;
    }
    // The next answer, whatever is asked, carries these data bytes (hex "0028") after the echo of
    // the request; no bytes count as "no data".
    void Queue(const QByteArray& hexData)
    {
        std::lock_guard lock(mutex_);
        queue_.append(Queued{0, QByteArray::fromHex(hexData)});
    }
    // The next exchange fails with this result (0 no data, -1 not connected).
    void Fail(int result = kExchangeNoData)
    {
        std::lock_guard lock(mutex_);
        queue_.append(Queued{result, {}});
    }
    // Answers (data bytes) requests that neither the queue nor the script answers; unset: such a
    // request brings no data.
    std::function<QByteArray(const QByteArray& request)> responder;

    // While cleared, Exchange returns kExchangeNotConnected without recording anything.
    void SetConnected(bool connected)
    {
        std::lock_guard lock(mutex_);
        connected_ = connected;
    }
    QByteArrayList Requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    void ClearRequests()
    {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }

    ExchangeResult Exchange(const std::uint8_t* request, int length) override
    {
        std::lock_guard lock(mutex_);
        ExchangeResult out;
        if (!connected_) {
            out.result = kExchangeNotConnected;
            out.response = response_;
            return out;
        }
        const QByteArray key(reinterpret_cast<const char*>(request), length);
        requests_.append(key);
        QByteArray answer;
        auto it = script_.find(key);
        if (!queue_.isEmpty() || (it == script_.end() && responder)) {
            const Queued next = !queue_.isEmpty() ? queue_.takeFirst() : Queued{0, responder(key)};
            if (next.failure != 0 || next.data.isEmpty()) {
                out.result = next.failure;
                out.response = response_;
                return out;
            }
            const int count =
                std::min<int>(static_cast<int>(next.data.size()), kResponseBufferSize - 1);
            for (int i = 0; i < count; ++i)
                response_[static_cast<std::size_t>(1 + i)] =
                    static_cast<std::uint8_t>(next.data[i]);
            out.result = count;
            out.answerBytes = QByteArray("\x62") + key.mid(1) + next.data;
            out.response = response_;
            return out;
        }
        if (it != script_.end() && !it->isEmpty()) {
            answer = it->first();
            if (it->size() > 1)
                it->removeFirst();
        }
        out.answerBytes = answer;
        out.result = 0;
        const bool negative = !answer.isEmpty() && static_cast<std::uint8_t>(answer[0]) == 0x7F;
        if (!negative && answer.size() > 3) {
            const int count =
                std::min<int>(static_cast<int>(answer.size()) - 3, kResponseBufferSize - 1);
            for (int i = 0; i < count; ++i)
                response_[static_cast<std::size_t>(1 + i)] =
                    static_cast<std::uint8_t>(answer[3 + i]);
            out.result = count;
            if (answer.startsWith(QByteArray("\x59\x02", 2)))
                response_[0] = static_cast<std::uint8_t>(count / 4);
        }
        out.response = response_;
        return out;
    }

private:
    struct Queued {
        int failure;
        QByteArray data;
    };
    mutable std::mutex mutex_;
    QList<Queued> queue_;
    QHash<QByteArray, QByteArrayList> script_;
    QByteArrayList requests_;
    ResponseBuffer response_{};
    bool connected_ = true;
};

} // namespace velmoro::test
