// The 11MP parameter catalogue: one ValueDef per dispatcher index 1..114, and its dispatcher.
#include "values/ValueDef.h"

#include <array>
#include <initializer_list>

namespace velmoro {

namespace {

constexpr std::int32_t kNotAvailable = 65535;

// Identifiers run 10 30 .. 10 A1 in index order, skipping 10 99; index 106 reads 98 10.
void Identifier(int index, std::uint8_t& hi, std::uint8_t& lo)
{
    hi = 0x10;
    if (index <= 2) {
        lo = 0x30;
    } else if (index <= 105) {
        lo = static_cast<std::uint8_t>(0x2E + index);
    } else if (index == 106) {
        hi = 0x98;
        lo = 0x10;
    } else {
        lo = static_cast<std::uint8_t>(0x2F + index);
    }
}

using Table = std::array<ValueDef, kLastIndex11mp + 1>;

Table BuildTable()
{
    Table t{};
    const auto set = [&t](std::initializer_list<int> indices, ValueDef spec) {
        for (const int i : indices) {
            t[static_cast<std::size_t>(i)] = spec;
        }
    };
    const auto range = [&set](int first, int last, ValueDef spec) {
        for (int i = first; i <= last; ++i) {
            set({i}, spec);
        }
    };
    const ValueDef u8{.width = ValueWidth::U8};
    const ValueDef u16{.width = ValueWidth::U16};
    const ValueDef u16na{.width = ValueWidth::U16, .hasMarker = true, .marker = kNotAvailable};
    const ValueDef bin8{.width = ValueWidth::U8, .text = ValueText::Bin8};
    const ValueDef millivolt{.shown = ValueShown::Millivolt, .unit = "mV", .graphRange = 6000};
    const ValueDef tenth{.shown = ValueShown::Divide,
                         .divisor = 10,
                         .text = ValueText::Fixed,
                         .decimals = 1,
                         .graphRange = 1000};

    set({1}, {.special = ValueSpecial::EngineSpeed});
    set({2}, {.special = ValueSpecial::SmoothedSpeed});
    range(3, 6,
          {.hasMarker = true,
           .marker = kNotAvailable,
           .shown = ValueShown::Minus40,
           .unit = "°C",
           .graphRange = 150});
    set({7}, {.hasMarker = true,
              .marker = kNotAvailable,
              .unit = "°",
              .barBefore = true,
              .barMin = 0,
              .barMax = 500});
    ValueDef tgps = millivolt;
    tgps.hasMarker = true;
    tgps.marker = kNotAvailable;
    range(8, 11, tgps);
    ValueDef handlebar = tenth;
    handlebar.unit = "%";
    handlebar.barBefore = true;
    handlebar.barMax = 1000;
    set({13}, handlebar);
    range(14, 17, millivolt);
    ValueDef correction = tenth;
    correction.hasMarker = true;
    correction.marker = kNotAvailable;
    range(18, 21, correction);
    set({22}, {.hasMarker = true, .marker = kNotAvailable, .unit = "mbar", .graphRange = 1100});
    set({23}, {.width = ValueWidth::S16, .unit = "mbar", .graphRange = 1100});
    set({24, 25}, {.width = ValueWidth::S16});
    set({26}, {.width = ValueWidth::S16, .unit = "mbar"});
    set({27}, {.unit = "mbar"});
    ValueDef advance = tenth;
    advance.unit = "°";
    range(28, 32, advance);
    range(33, 36,
          {.shown = ValueShown::Divide,
           .divisor = 200,
           .text = ValueText::Fixed,
           .decimals = 2,
           .unit = "ms",
           .graphRange = 1000});
    set({37, 38}, u16na);
    set({39, 40}, {.width = ValueWidth::U8,
                   .shown = ValueShown::Divide,
                   .divisor = 10,
                   .text = ValueText::Fixed,
                   .decimals = 1,
                   .unit = "V"});
    ValueDef lambdaMv = u16na;
    lambdaMv.unit = "mV";
    set({41, 42}, lambdaMv);
    ValueDef integrator{.shown = ValueShown::Divide,
                        .divisor = 10,
                        .text = ValueText::Fixed,
                        .decimals = 1,
                        .unit = "%"};
    set({45}, integrator);
    integrator.hasMarker = true;
    integrator.marker = kNotAvailable;
    set({46}, integrator);
    set({64, 65}, {.unit = "mbar"});
    ValueDef limpHome = millivolt;
    limpHome.graphRange = 0;
    set({69, 70}, limpHome);
    set({75, 84, 103}, u16);
    set({80, 82, 85, 94}, bin8);
    set({83, 88, 90, 91, 101, 102, 104}, u8);
    set({105}, {.unit = "mm"});
    set({106},
        {.shown = ValueShown::Divide, .divisor = 10000, .text = ValueText::Fixed, .decimals = 3});
    set({107}, {.width = ValueWidth::Chars3});
    set({112, 113}, {.width = ValueWidth::U32Le, .unit = "km"});
    set({114}, u8);

    // The unnamed identifiers.
    set({12, 44, 53, 61, 62, 63, 71, 72, 76, 77, 78, 79, 111}, u16);
    set({43, 54, 57, 58, 59, 60, 68}, u16na);
    set({55}, {.width = ValueWidth::U8,
               .shown = ValueShown::Divide,
               .divisor = 10,
               .text = ValueText::Fixed,
               .decimals = 1,
               .unit = "%"});
    set({67},
        {.shown = ValueShown::Divide, .divisor = 40000, .text = ValueText::Fixed, .decimals = 3});
    set({99}, bin8);
    set({47, 48, 49, 50, 51, 52, 56, 66, 73,  74,  81,  86,
         87, 89, 92, 93, 95, 96, 97, 98, 100, 108, 109, 110},
        u8);
    // Index 50 counts as read even when its read failed (the report relies on that).
    t[50].alwaysReportsRead = true;

    for (int i = 1; i <= kLastIndex11mp; ++i) {
        auto& spec = t[static_cast<std::size_t>(i)];
        Identifier(i, spec.hi, spec.lo);
    }
    t[0].special = ValueSpecial::NoReader;
    return t;
}

const Table& Catalog()
{
    static const Table table = BuildTable();
    return table;
}

} // namespace

int ValueDispatcher11mp(ReaderContext& ctx, MeasurementRow& row)
{
    BeginDispatch(row);
    if (row.valueIndex < 1 || row.valueIndex > kLastIndex11mp) {
        return 0;
    }
    return ReadValue(Catalog()[static_cast<std::size_t>(row.valueIndex)], ctx, row);
}

bool ValueIdentifier11mp(int index, std::uint8_t& hi, std::uint8_t& lo)
{
    if (index < 1 || index > kLastIndex11mp) {
        return false;
    }
    const auto& spec = Catalog()[static_cast<std::size_t>(index)];
    hi = spec.hi;
    lo = spec.lo;
    return true;
}

QString ValueUnit11mp(int index)
{
    if (index < 1 || index > kLastIndex11mp) {
        return {};
    }
    return QString::fromUtf8(Catalog()[static_cast<std::size_t>(index)].unit);
}

} // namespace velmoro
