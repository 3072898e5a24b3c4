// The single road to the ECU as its callers see it: one request in, the parsed answer out.
#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace velmoro {

constexpr int kRequestBufferSize = 16;
constexpr int kResponseBufferSize = 128; // element 0 is DtcCount, 1..127 the data bytes

using RequestBuffer = std::array<std::uint8_t, kRequestBufferSize>;
using ResponseBuffer = std::array<std::uint8_t, kResponseBufferSize>;

// Result codes of Exchange besides a count of data bytes.
constexpr int kExchangeNoData = 0;        // negative answer, adapter message, time-out, <= 3 bytes
constexpr int kExchangeNotConnected = -1; // worker not running, or stopped while waiting
constexpr int kExchangeNothingSent = -5;  // the request text was empty

struct ExchangeResult {
    int result = kExchangeNotConnected;
    // Snapshot of the channel's response buffer right after this exchange. Bytes beyond `result`
    // are whatever earlier answers left there (short answers are not detected by the decoders).
    ResponseBuffer response{};
    // Every byte of the answer, the first three (service and echo) included, negative answers
    // too (7F 22 31); empty when the answer carried none (time-out, adapter message, junk).
    QByteArray answerBytes;

    // Data byte i (d0 = element 1 of the response buffer).
    std::uint8_t d(int i) const { return response[static_cast<std::size_t>(1 + i)]; }
    int dtcCount() const { return response[0]; }
};

// Sends one diagnostic request (1..16 bytes) and blocks until its answer has been parsed.
// Callers are served one at a time; a second caller waits for the first instead of overwriting
// its request. Implemented by the request channel; tests provide scripted fakes.
class ExchangeLink {
public:
    virtual ~ExchangeLink() = default;
    virtual ExchangeResult Exchange(const std::uint8_t* request, int length) = 0;
    ExchangeResult Exchange(std::initializer_list<std::uint8_t> request)
    {
        return Exchange(request.begin(), static_cast<int>(request.size()));
    }
};

} // namespace velmoro
