// A scripted ExchangeLink for reader tests: answers queued in order, laid out like the channel
// lays them out (data bytes in response[1..], one buffer that persists between exchanges).
#pragma once

#include "link/Exchange.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace velmoro::test {

class ScriptedExchange : public ExchangeLink {
public:
    using ExchangeLink::Exchange;

    // An answer with these data bytes (hex "0028"); no bytes counts as "no data".
    void Answer(const QByteArray& hexData)
    {
        queue_.append(Scripted{0, QByteArray::fromHex(hexData)});
    }
    // A failed exchange with this result (0 no data, -1 not connected).
    void Fail(int result = kExchangeNoData) { queue_.append(Scripted{result, {}}); }
    // Answers requests once the queue is empty; unset means every such request fails with 0.
    std::function<QByteArray(const QByteArray& request)> responder;

    ExchangeResult Exchange(const std::uint8_t* request, int length) override
    {
        const QByteArray sent(reinterpret_cast<const char*>(request), length);
        requests.append(sent);
        Scripted next{0, {}};
        if (!queue_.isEmpty()) {
            next = queue_.takeFirst();
        } else if (responder) {
            next.data = responder(sent);
        }
        ExchangeResult result;
        if (next.failure == 0 && !next.data.isEmpty()) {
            for (int i = 0; i < next.data.size() && i + 1 < kResponseBufferSize; ++i) {
                buffer_[static_cast<std::size_t>(i + 1)] = static_cast<std::uint8_t>(next.data[i]);
            }
            result.result = static_cast<int>(next.data.size());
            result.answerBytes = QByteArray("\x62") + sent.mid(1) + next.data;
        } else {
            result.result = next.failure;
        }
        result.response = buffer_;
        return result;
    }

    QList<QByteArray> requests;

private:
    struct Scripted {
        int failure;
        QByteArray data;
    };
    QList<Scripted> queue_;
    ResponseBuffer buffer_{};
};

} // namespace velmoro::test
