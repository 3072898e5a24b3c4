// The MIUG4 parameter catalogue: one ValueDef per dispatcher index 1..86, and its dispatcher.
#include "values/ValueDef.h"

#include <array>

namespace velmoro {

namespace {

using Table = std::array<ValueDef, kLastIndexMiug4 + 1>;

constexpr ValueDef U8(std::uint8_t lo)
{
    return {.lo = lo, .width = ValueWidth::U8};
}
constexpr ValueDef U16(std::uint8_t lo)
{
    return {.lo = lo, .width = ValueWidth::U16};
}
constexpr ValueDef U16Marked(std::uint8_t lo, std::int32_t marker = 65535)
{
    return {.lo = lo, .width = ValueWidth::U16, .hasMarker = true, .marker = marker};
}
constexpr ValueDef Status(std::uint8_t lo, ValueSpecial special)
{
    return {.lo = lo, .width = ValueWidth::U8, .special = special};
}
constexpr ValueDef WithUnit(ValueDef spec, const char* unit)
{
    spec.unit = unit;
    return spec;
}
constexpr ValueDef Divided(ValueDef spec, std::int32_t divisor, int decimals, const char* unit)
{
    spec.shown = ValueShown::Divide;
    spec.divisor = divisor;
    spec.text = ValueText::Fixed;
    spec.decimals = decimals;
    spec.unit = unit;
    return spec;
}
constexpr ValueDef Graph(ValueDef spec, std::int32_t range)
{
    spec.graphRange = range;
    return spec;
}
constexpr ValueDef Temperature(ValueDef spec)
{
    spec.shown = ValueShown::Minus40;
    spec.unit = "°C";
    return spec;
}
constexpr ValueDef BarBefore(ValueDef spec, std::int32_t max, std::int32_t factor)
{
    spec.barBefore = true;
    spec.barMin = 0;
    spec.barMax = max;
    spec.barFactor = factor;
    return spec;
}
constexpr ValueDef Bin8(ValueDef spec)
{
    spec.text = ValueText::Bin8;
    return spec;
}

const Table kCatalog = {
    ValueDef{.special = ValueSpecial::NoReader},
    /* 1 */ {.lo = 0x30, .special = ValueSpecial::EngineSpeed},
    /* 2 */ {.lo = 0x30, .special = ValueSpecial::SmoothedSpeed},
    /* 3 */ Graph(U16Marked(0x31), 1100),
    /* 4 */ Graph(Temperature(U16Marked(0x32, 255)), 150),
    /* 5 */ Graph(Temperature(U16Marked(0x33, 255)), 150),
    /* 6 */ BarBefore(Graph(Divided(U16Marked(0x34), 10, 1, "°"), 1000), 10000, 10),
    /* 7 */ BarBefore(Graph(Divided(U16Marked(0x35), 10, 2, "°"), 900), 500, 1),
    /* 8 */ Graph(Divided(U16Marked(0x36), 10, 2, "°"), 10),
    /* 9 */ Graph(Divided(U16Marked(0x37), 10, 2, "°"), 10),
    /* 10 */ Graph(Divided(U16Marked(0x38), 500, 2, "ms"), 1000),
    /* 11 */ Graph(Divided(U16Marked(0x39), 500, 2, "ms"), 1000),
    /* 12 */ U16(0x3A),
    /* 13 */ Graph(Divided(U16(0x3C), 10, 1, "V"), 160),
    /* 14 */ U16(0x63),
    /* 15 */ U16Marked(0x53),
    /* 16 */ WithUnit({.lo = 0x45, .width = ValueWidth::S16}, "mV"),
    /* 17 */ WithUnit({.lo = 0x46, .width = ValueWidth::S16}, "mV"),
    /* 18 */ Divided({.lo = 0x47, .width = ValueWidth::S16}, 10, 2, "%"),
    /* 19 */ Divided({.lo = 0x48, .width = ValueWidth::S16}, 10, 2, "%"),
    /* 20 */ Divided({.lo = 0x5A, .width = ValueWidth::S16}, 10, 2, "%"),
    /* 21 */ Divided({.lo = 0x5B, .width = ValueWidth::S16}, 10, 2, "%"),
    /* 22 */ Graph(U16Marked(0x60), 1100),
    /* 23 */ Divided(U16Marked(0x6A), 10, 2, "°"),
    /* 24 */ U16(0x6B),
    /* 25 */ U16(0x6C),
    /* 26 */ U16Marked(0x72),
    /* 27 */ Status(0x49, ValueSpecial::LoopState),
    /* 28 */ Status(0x4A, ValueSpecial::LoopState),
    /* 29 */ Status(0x4B, ValueSpecial::LambdaLeft),
    /* 30 */ Status(0x4C, ValueSpecial::LambdaRight),
    /* 31 */ Bin8(U8(0x57)),
    /* 32 */ {.lo = 0x58, .width = ValueWidth::U16, .special = ValueSpecial::EngineMode},
    /* 33 */ Bin8(U8(0x5C)),
    /* 34 */ U16Marked(0x61),
    /* 35 */ Bin8(U8(0x62)),
    /* 36 */ U8(0x75),
    /* 37 */ U8(0x76),
    /* 38 */ U8(0x78),
    /* 39 */ U8(0x79),
    /* 40 */ U8(0x7A),
    /* 41 */ U8(0x7E),
    /* 42 */ Status(0x49, ValueSpecial::LoopState),
    /* 43 */ Status(0x4A, ValueSpecial::LoopState),
    /* 44 */ Status(0x4B, ValueSpecial::LambdaLeft),
    /* 45 */ Status(0x4C, ValueSpecial::LambdaRight),
    /* 46 */ Status(0x4B, ValueSpecial::LambdaLeft),
    /* 47 */ Status(0x4C, ValueSpecial::LambdaRight),
    /* 48 */ U8(0x3B),
    /* 49 */ {.lo = 0x3D, .width = ValueWidth::S8},
    /* 50 */ U8(0x3E),
    /* 51 */ U16Marked(0x3F),
    /* 52 */ U16Marked(0x40),
    /* 53 */ U16Marked(0x41),
    /* 54 */ U16Marked(0x42),
    /* 55 */ U16Marked(0x43),
    /* 56 */ U16Marked(0x44),
    /* 57 */ U8(0x4D),
    /* 58 */ U8(0x4E),
    /* 59 */ U8(0x50),
    /* 60 */ U8(0x51),
    /* 61 */ U16Marked(0x52),
    /* 62 */ U16Marked(0x54),
    /* 63 */ U16Marked(0x55),
    /* 64 */ U8(0x56),
    /* 65 */ U8(0x59),
    /* 66 */ U16Marked(0x5D),
    /* 67 */ U16Marked(0x5E),
    /* 68 */ U16(0x5F),
    /* 69 */ U16Marked(0x64),
    /* 70 */ U8(0x65),
    /* 71 */ U8(0x66),
    /* 72 */ Temperature(U16Marked(0x67)),
    /* 73 */ Temperature(U16Marked(0x68)),
    /* 74 */ Temperature(U16Marked(0x69)),
    /* 75 */ U16(0x6D),
    /* 76 */ U8(0x6E),
    /* 77 */ U8(0x6F),
    /* 78 */ U8(0x70),
    /* 79 */ U8(0x71),
    /* 80 */ {.lo = 0x73, .width = ValueWidth::U32Be, .hasMarker = true, .marker = 0x00FFFFFF},
    /* 81 */ U8(0x74),
    /* 82 */ U8(0x77),
    /* 83 */ U8(0x7B),
    /* 84 */ U8(0x7C),
    /* 85 */ U8(0x7D),
    /* 86 */ {.lo = 0x7F, .special = ValueSpecial::NoReader},
};

// Texts shared by several indices are picked by the row's displayMode, set on every dispatch.
std::int32_t DisplayModeOf(int index)
{
    if (index >= 42 && index <= 45) {
        return 2;
    }
    if (index == 46 || index == 47) {
        return 4;
    }
    return 0;
}

} // namespace

int ValueDispatcherMiug4(ReaderContext& ctx, MeasurementRow& row)
{
    BeginDispatch(row);
    row.displayMode = DisplayModeOf(row.valueIndex);
    if (row.valueIndex < 1 || row.valueIndex > kLastIndexMiug4) {
        return 0;
    }
    return ReadValue(kCatalog[static_cast<std::size_t>(row.valueIndex)], ctx, row);
}

bool ValueIdentifierMiug4(int index, std::uint8_t& hi, std::uint8_t& lo)
{
    if (index < 1 || index > kLastIndexMiug4 ||
        kCatalog[static_cast<std::size_t>(index)].special == ValueSpecial::NoReader) {
        return false;
    }
    const auto& spec = kCatalog[static_cast<std::size_t>(index)];
    hi = spec.hi;
    lo = spec.lo;
    return true;
}

QString ValueUnitMiug4(int index)
{
    if (index < 1 || index > kLastIndexMiug4 ||
        kCatalog[static_cast<std::size_t>(index)].special == ValueSpecial::NoReader) {
        return {};
    }
    return QString::fromUtf8(kCatalog[static_cast<std::size_t>(index)].unit);
}

} // namespace velmoro
