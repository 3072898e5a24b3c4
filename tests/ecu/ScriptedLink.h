// A scripted ExchangeLink for unit tests: answers requests like the request channel would parse
// the ECU's answer bytes, keeps the response buffer between exchanges and records every request.
#pragma once

#include "link/Exchange.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
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
    // While set, Exchange returns kExchangeNotConnected without recording anything.
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
    mutable std::mutex mutex_;
    QHash<QByteArray, QByteArrayList> script_;
    QByteArrayList requests_;
    ResponseBuffer response_{};
    bool connected_ = true;
};

} // namespace velmoro::test
