// The table-driven reader shared by both families' catalogues.
#include "values/ValueDef.h"

#include "config/LanguageTexts.h"
#include "values/Formats.h"

namespace velmoro {

namespace {

constexpr std::int32_t kSpeedFullScale = 10000;

int ShowEngineSpeed(const ValueDef& spec, ReaderContext& ctx, MeasurementRow& row, std::int32_t v)
{
    std::int32_t shown = v == 65535 ? 0 : v;
    if (spec.special == ValueSpecial::SmoothedSpeed) {
        const float weightOld = 0.3f;
        const float weightNew = 0.7f;
        ctx.rpmSmoothing = ctx.rpmSmoothing * weightOld + static_cast<float>(shown) * weightNew;
        shown = 50 * RoundHalfAwayFromZero(static_cast<double>(ctx.rpmSmoothing) / 50.0);
    }
    row.barVisible = 1;
    row.barMin = 0;
    row.barMax = kSpeedFullScale;
    row.barValue = shown;
    row.graphLevel = shown * 200 / kSpeedFullScale;
    row.valueText = FormatInt(shown);
    row.unitText.clear();
    return 1;
}

QString StatusText(const ValueDef& spec, ReaderContext& ctx, const MeasurementRow& row,
                   std::int32_t v)
{
    const bool bit1 = (v & 0x02) != 0;
    const bool bit2 = (v & 0x04) != 0;
    const auto text = [&ctx](const char* key) { return ctx.texts.Text(QLatin1String(key)); };
    switch (spec.special) {
    case ValueSpecial::LoopState:
        if (row.displayMode == 2) {
            return text(bit1 ? "Status_22" : "Status_21");
        }
        return FormatInt(v);
    case ValueSpecial::LambdaLeft:
    case ValueSpecial::LambdaRight:
        if (row.displayMode == 2) {
            if (spec.special == ValueSpecial::LambdaRight && !bit2) {
                return text("Status_124");
            }
            return text(bit1 ? "Status_121" : "Status_122");
        }
        if (row.displayMode == 4) {
            return text(bit2 ? "Status_123" : "Status_124");
        }
        return FormatBin8(static_cast<std::uint32_t>(v) & 0xFFu);
    case ValueSpecial::EngineMode:
        switch (v) {
        case 0:
            return text("Status_111");
        case 1:
            return text("Status_112");
        case 2:
            return text("Status_113");
        case 5:
            return text("Status_114");
        default:
            return FormatInt(v);
        }
    default:
        return FormatInt(v);
    }
}

int ReadValueOnce(const ValueDef& spec, ReaderContext& ctx, MeasurementRow& row)
{
    if (spec.special == ValueSpecial::NoReader) {
        return 0;
    }
    if (spec.barBefore) {
        row.barVisible = 1;
        row.barMin = spec.barMin;
        row.barMax = spec.barMax;
    }
    const ExchangeResult answer = ctx.link.Exchange({0x22, spec.hi, spec.lo});
    if (answer.result <= 0) {
        return 0;
    }

    std::int32_t v = 0;
    switch (spec.width) {
    case ValueWidth::U8:
        v = answer.d(0);
        break;
    case ValueWidth::S8:
        v = static_cast<std::int8_t>(answer.d(0));
        break;
    case ValueWidth::U16:
        v = answer.d(0) * 256 + answer.d(1);
        break;
    case ValueWidth::S16:
        v = static_cast<std::int16_t>(static_cast<std::uint16_t>(answer.d(0) * 256 + answer.d(1)));
        break;
    case ValueWidth::U32Be: {
        const std::uint32_t bits = (std::uint32_t{answer.d(0)} << 24) |
                                   (std::uint32_t{answer.d(1)} << 16) |
                                   (std::uint32_t{answer.d(2)} << 8) | answer.d(3);
        if ((bits & 0x80000000u) != 0) {
            return 0;
        }
        v = static_cast<std::int32_t>(bits);
        break;
    }
    case ValueWidth::U32Le: {
        const std::uint64_t metres =
            std::uint64_t{answer.d(0)} | (std::uint64_t{answer.d(1)} << 8) |
            (std::uint64_t{answer.d(2)} << 16) | (std::uint64_t{answer.d(3)} << 24);
        row.rawValue = static_cast<std::int32_t>(metres / 1000);
        row.valueText = FormatFixed(static_cast<double>(metres) / 1000.0, 1);
        row.unitText = QString::fromUtf8(spec.unit);
        return 1;
    }
    case ValueWidth::Chars3: {
        // A NUL code would end up inside the CSV log and the report, so it is left out.
        QString text;
        for (int i = 0; i < 3; ++i) {
            if (answer.d(i) != 0) {
                text += QChar(static_cast<char16_t>(answer.d(i)));
            }
        }
        row.valueText = text;
        row.unitText = QString::fromUtf8(spec.unit);
        return 1;
    }
    }

    row.rawValue = v;
    if (spec.special == ValueSpecial::EngineSpeed || spec.special == ValueSpecial::SmoothedSpeed) {
        return ShowEngineSpeed(spec, ctx, row, v);
    }
    if (spec.hasMarker && v == spec.marker) {
        return 0;
    }
    if (spec.special != ValueSpecial::None) {
        row.valueText = StatusText(spec, ctx, row, v);
        row.unitText = QString::fromUtf8(spec.unit);
        return 1;
    }

    std::int32_t shownInt = v;
    switch (spec.shown) {
    case ValueShown::Raw:
    case ValueShown::Divide:
        break;
    case ValueShown::Minus40:
        shownInt = v - 40;
        break;
    case ValueShown::Millivolt:
        shownInt = RoundHalfEven(v * 4.8828125);
        break;
    }
    const std::int32_t level = spec.text == ValueText::Fixed ? v : shownInt;
    if (spec.graphRange != 0) {
        row.graphLevel = level * 200 / spec.graphRange;
    }
    if (spec.barBefore) {
        row.barValue = level * spec.barFactor;
    }
    switch (spec.text) {
    case ValueText::Int:
        row.valueText = FormatInt(shownInt);
        break;
    case ValueText::Fixed:
        row.valueText = FormatFixed(static_cast<double>(v) / spec.divisor, spec.decimals);
        break;
    case ValueText::Bin8:
        row.valueText = FormatBin8(static_cast<std::uint32_t>(v));
        break;
    }
    row.unitText = QString::fromUtf8(spec.unit);
    return 1;
}

} // namespace

int ReadValue(const ValueDef& spec, ReaderContext& ctx, MeasurementRow& row)
{
    const int result = ReadValueOnce(spec, ctx, row);
    return spec.alwaysReportsRead ? 1 : result;
}

void BeginDispatch(MeasurementRow& row)
{
    row.valueText = QStringLiteral("----");
    row.rawValue = -1;
    row.barVisible = 0;
}

} // namespace velmoro
