// Both families' measured-value dispatchers, their single-value readers and the engine status.
//
// Every reader talks to the ECU through one ExchangeLink call (request 22 hi lo, three bytes) and
// leaves the row displayable whatever happens: "----" with the unit of its last good read.
#pragma once

#include "link/Exchange.h"
#include "values/MeasurementRow.h"

namespace velmoro {

class LanguageTexts;

// What a reader needs besides its row. rpmSmoothing is the family's RpmSmoothingState
// (kept by the family's Ecu object), written without a lock by the one thread reading values.
struct ReaderContext {
    ExchangeLink& link;
    LanguageTexts& texts;
    float& rpmSmoothing;
};

constexpr int kLastIndex11mp = 114;  // dispatcher indices 1..114
constexpr int kLastIndexMiug4 = 86;  // names 1..86; readers 1..85, 86 never sends
constexpr int kValueNames11mp = 116; // entries of the 11MP ValueNames
constexpr int kValueNamesMiug4 = 87; // entries of the MIUG4 ValueNames

// ValueDispatcher of each family: frame ("----", rawValue -1, bar hidden; MIUG4 also sets
// displayMode), then the reader of row.valueIndex. 1 = filled from a valid answer (11MP index 50
// always reports 1), 0 = failed, not available or unknown index.
int ValueDispatcher11mp(ReaderContext& ctx, MeasurementRow& row);
int ValueDispatcherMiug4(ReaderContext& ctx, MeasurementRow& row);

// MIUG4 engine status block (22 10 74): eight LF-ended lines, one per bit of d1 from bit 0,
// "Status_11" when set, else "Status_12" + " (" + d4 as two hex digits + ")". Writes only
// row.valueText; a failed exchange leaves the row untouched and returns 0.
int ReadEngineStatusMiug4(ExchangeLink& link, LanguageTexts& texts, MeasurementRow& row);

// The identifier bytes a dispatcher index sends after 0x22; false when it sends nothing
// (unknown index, MIUG4 index 86). Used by the survey and report as well as the readers.
bool ValueIdentifier11mp(int index, std::uint8_t& hi, std::uint8_t& lo);
bool ValueIdentifierMiug4(int index, std::uint8_t& hi, std::uint8_t& lo);

// The unit a read of the value at this dispatcher index shows ("mV", "°C"); empty for a value
// without a unit, one that is shown as a word, or an index that reads nothing.
QString ValueUnit11mp(int index);
QString ValueUnitMiug4(int index);

} // namespace velmoro
