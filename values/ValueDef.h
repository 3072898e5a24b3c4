// One row of data per measured value and the reader that turns such a row into a request and a
// decoded MeasurementRow; both families' catalogues are tables of these.
#pragma once

#include "values/ValueCatalog.h"

#include <cstdint>

namespace velmoro {

enum class ValueWidth : std::uint8_t {
    U8,     // d0
    S8,     // d0 as a signed byte
    U16,    // d0 * 256 + d1
    S16,    // d0 * 256 + d1 as a signed 16-bit number
    U32Be,  // d0 most significant; a set top bit counts as no answer
    U32Le,  // d0 least significant; shown as metres / 1000 in km, rawValue whole km
    Chars3, // the three characters d0 d1 d2; rawValue stays -1
};

enum class ValueShown : std::uint8_t {
    Raw,       // v
    Minus40,   // v - 40 (temperatures)
    Millivolt, // v * 4.8828125 rounded, ties to even (5000 mV / 1024 steps)
    Divide,    // v / divisor as a float, written fixed(decimals)
};

enum class ValueText : std::uint8_t { Int, Fixed, Bin8 };

enum class ValueSpecial : std::uint8_t {
    None,
    NoReader,      // sends nothing, returns 0
    EngineSpeed,   // 65535 shows as 0; bar 0..10000
    SmoothedSpeed, // as EngineSpeed through the family's RpmSmoothingState, steps of 50
    LoopState,     // displayMode 2: "Status_22"/"Status_21" by bit 1, else int
    LambdaLeft,    // displayMode 2: rich/lean by bit 1; 4: active/not by bit 2; else bin8
    LambdaRight,   // as LambdaLeft, but mode 2 shows "not active" while bit 2 is clear
    EngineMode,    // 0, 1, 2, 5 name a state, any other value its int
};

struct ValueDef {
    std::uint8_t hi = 0x10;
    std::uint8_t lo = 0;
    ValueWidth width = ValueWidth::U16;
    bool hasMarker = false; // v == marker: rawValue := v, "----", return 0
    std::int32_t marker = 0;
    ValueShown shown = ValueShown::Raw;
    std::int32_t divisor = 1;
    ValueText text = ValueText::Int;
    int decimals = 0;
    const char* unit = ""; // UTF-8
    // graphLevel := G * 200 / graphRange (int32, truncating) when non-zero; G is the shown
    // integer for Int rows and the decoded v for Fixed rows.
    std::int32_t graphRange = 0;
    // Bar made visible with these limits before the request; barValue := G * barFactor after.
    bool barBefore = false;
    std::int32_t barMin = 0;
    std::int32_t barMax = 0;
    std::int32_t barFactor = 1;
    ValueSpecial special = ValueSpecial::None;
    bool alwaysReportsRead = false; // the reader's result is 1 whatever happened
};

// Runs one reader: request 22 hi lo, decode, marker test, formula, text, unit, diagram, bar.
int ReadValue(const ValueDef& spec, ReaderContext& ctx, MeasurementRow& row);

// The dispatcher frame shared by both families: "----", rawValue -1, bar hidden; everything
// else keeps what the last successful read left.
void BeginDispatch(MeasurementRow& row);

} // namespace velmoro
