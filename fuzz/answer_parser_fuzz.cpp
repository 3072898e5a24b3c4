// Fuzz target: the adapter answer parser and the request encoder.
#include "link/AnswerParser.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

using velmoro::ResponseBuffer;

namespace {

constexpr std::uint8_t kCanary = 0xA5;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // On the heap and exactly its own size, so a write past element 127 hits AddressSanitizer's
    // red zone instead of a neighbouring variable.
    auto response = std::make_unique<ResponseBuffer>();
    response->fill(kCanary);
    const velmoro::ParsedAnswer parsed = velmoro::ParseAnswer(text, *response);

    Check(parsed.count >= 0 && parsed.count <= velmoro::kMaxAnswerDataBytes);
    // Only clean data touches the buffer, and nothing beyond the stored count; a negative answer
    // leaves the whole buffer as it was, and DtcCount is set only by a clean fault answer.
    if (parsed.shape != velmoro::AnswerShape::Data) {
        Check(parsed.count == 0);
        for (std::uint8_t b : *response) {
            Check(b == kCanary);
        }
    }
    for (int i = parsed.count + 1; i < velmoro::kResponseBufferSize; ++i) {
        Check((*response)[static_cast<std::size_t>(i)] == kCanary);
    }
    const bool faultAnswer = parsed.shape == velmoro::AnswerShape::Data &&
                             parsed.answerBytes.startsWith(QByteArray::fromHex("5902"));
    Check((*response)[0] == (faultAnswer ? parsed.count / 4 : kCanary));

    // Encoding: two upper-case hex digits per byte, and they read back as the same bytes.
    const int length = static_cast<int>(size < 64 ? size : 64);
    const QByteArray encoded = velmoro::EncodeRequest(data, length);
    Check(encoded.size() == 2 * length);
    for (int i = 0; i < length; ++i) {
        bool ok = false;
        const int value = encoded.mid(2 * i, 2).toInt(&ok, 16);
        Check(ok && value == data[i]);
        Check(encoded.mid(2 * i, 2) == encoded.mid(2 * i, 2).toUpper());
    }
    return 0;
}
