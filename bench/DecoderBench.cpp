// Answers per second through the answer parser and the measured-value decoders of both families.
#include "config/LanguageTexts.h"
#include "ecu/Faults.h"
#include "link/AnswerParser.h"
#include "values/ValueCatalog.h"

#include <benchmark/benchmark.h>

namespace velmoro {
namespace {

const QByteArray kSingleFrame("62 10 3C 01 02 \r\r");
const QByteArray kNegative("7F 22 31 \r\r");

QByteArray MultiFrame(int lines)
{
    QByteArray text = QByteArray::number(7 * lines - 1, 16).toUpper().rightJustified(3, '0');
    text += " \r";
    for (int i = 0; i < lines; ++i) {
        text += QByteArray::number(i % 16, 16).toUpper() + ": ";
        for (int j = 0; j < (i == 0 ? 6 : 7); ++j) {
            text += QByteArray::number(0x10 + j, 16).toUpper() + ' ';
        }
        text += '\r';
    }
    return text + '\r';
}

void ParseAnswers(benchmark::State& state, const QByteArray& text)
{
    ResponseBuffer response{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseAnswer(text, response).count);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(ParseAnswers, single_frame, kSingleFrame);
BENCHMARK_CAPTURE(ParseAnswers, negative, kNegative);
BENCHMARK_CAPTURE(ParseAnswers, multi_frame_3_lines, MultiFrame(3));
BENCHMARK_CAPTURE(ParseAnswers, multi_frame_18_lines, MultiFrame(18));

// Answers every request with the same parsed four data bytes, as a quick ECU would.
class CannedLink : public ExchangeLink {
public:
    CannedLink()
    {
        canned_.result = ParseAnswer("62 10 30 0B B8 01 02 \r\r", canned_.response).count;
    }
    using ExchangeLink::Exchange;
    ExchangeResult Exchange(const std::uint8_t*, int) override { return canned_; }

private:
    ExchangeResult canned_;
};

void DecodeValues(benchmark::State& state, int lastIndex,
                  int (*dispatcher)(ReaderContext&, MeasurementRow&))
{
    CannedLink link;
    LanguageTexts texts;
    float smoothing = 0.0f;
    ReaderContext ctx{link, texts, smoothing};
    MeasurementRow row;
    int index = 1;
    for (auto _ : state) {
        row.valueIndex = index;
        benchmark::DoNotOptimize(dispatcher(ctx, row));
        index = index == lastIndex ? 1 : index + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(DecodeValues, miug4_all_indexes, kLastIndexMiug4 - 1, &ValueDispatcherMiug4);
BENCHMARK_CAPTURE(DecodeValues, 11mp_all_indexes, kLastIndex11mp, &ValueDispatcher11mp);

void DecodeFaultRecords(benchmark::State& state)
{
    LanguageTexts texts;
    texts.Set(QStringLiteral("P0105"), QStringLiteral("Manifold pressure"));
    const std::uint8_t record[4] = {0x01, 0x05, 0x1C, 0x08};
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeFaultMiug4(record, texts).entry.text.size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeFaultRecords);

} // namespace
} // namespace velmoro

BENCHMARK_MAIN();
