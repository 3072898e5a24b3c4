// Fuzz target: fault records of both families, from the adapter's answer text to the two lists.
#include "ecu/FaultLists.h"
#include "ecu/Faults.h"
#include "link/AnswerParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Answers every request with the parsed fuzz text; the response buffer persists between calls as
// the real channel's does, so a stale DtcCount from an earlier answer is part of the input.
class FuzzLink : public velmoro::ExchangeLink {
public:
    using velmoro::ExchangeLink::Exchange;
    velmoro::ExchangeResult Exchange(const std::uint8_t*, int) override
    {
        velmoro::ExchangeResult r;
        const velmoro::ParsedAnswer parsed = velmoro::ParseAnswer(answer, buffer);
        Check(parsed.count >= 0 && parsed.count <= velmoro::kMaxAnswerDataBytes);
        r.result = parsed.count;
        r.response = buffer;
        r.answerBytes = parsed.answerBytes;
        return r;
    }
    QByteArray answer;
    velmoro::ResponseBuffer buffer{};
};

velmoro::LanguageTexts& Texts()
{
    static velmoro::LanguageTexts texts;
    static const bool filled = [] {
        texts.Set(QStringLiteral("Fault_1"), QStringLiteral("No current faults"));
        texts.Set(QStringLiteral("Fault_2"), QStringLiteral("No stored faults"));
        for (int i = 3; i <= 6; ++i) {
            texts.Set(QStringLiteral("Fault_%1").arg(i), QStringLiteral("suffix %1").arg(i));
        }
        texts.Set(QStringLiteral("P0105"), QStringLiteral("Manifold pressure"));
        texts.Set(QStringLiteral("P0105-1C"), QStringLiteral("Manifold pressure range"));
        return true;
    }();
    (void)filled;
    return texts;
}

void CheckCodeText(const QString& code)
{
    Check(code.size() == 5);
    Check(QStringLiteral("PCBU").contains(code[0]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte picks a stale DtcCount, the rest is the adapter's answer text.
    if (size < 1) {
        return 0;
    }
    FuzzLink link;
    link.buffer[0] = data[0];
    link.answer =
        QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    velmoro::LanguageTexts& texts = Texts();
    velmoro::FaultLists lists;
    // No record can come from fewer than three data bytes, plus the two "no faults" lines.
    const int mostLines = velmoro::kMaxAnswerDataBytes / 3 + 2;

    velmoro::ReadFaultsMiug4(link, texts, lists);
    Check(lists.Current().size() + lists.Stored().size() <= mostLines);
    // 11MP records are read from every byte received, not only the 127 the buffer keeps; the
    // record count byte bounds them.
    velmoro::ReadFaults11mp(link, texts, lists);
    Check(lists.Current().size() + lists.Stored().size() <= 255 + 2);
    velmoro::ClearFaultsMiug4(link, texts, lists);
    velmoro::ClearFaults11mp(link, texts, lists);

    if (size >= 4) {
        CheckCodeText(velmoro::FaultCodeText(data[0], data[1]));
        const velmoro::FaultLine miug4 = velmoro::DecodeFaultMiug4(data, texts);
        CheckCodeText(miug4.entry.text.left(5));
        const velmoro::FaultLine mp = velmoro::DecodeFault11mp(data, texts);
        CheckCodeText(mp.entry.text.left(5));
    }
    return 0;
}
