// Reading and clearing the fault memory of both ECU families, and the texts of fault lines.
#pragma once

#include "config/LanguageTexts.h"
#include "ecu/FaultLists.h"
#include "link/Exchange.h"
#include "values/JobEnding.h"

#include <QString>
#include <cstdint>

namespace velmoro {

// Letter from the top two bits of hi (P, C, B, U), digit from bits 5-4, then the low 12 bits of
// hi*256+lo as three upper-case hex digits: (0x01, 0x05) -> "P0105", (0xC1, 0x21) -> "U0121".
QString FaultCodeText(std::uint8_t hi, std::uint8_t lo);

// Which list a decoded fault line belongs to.
enum class FaultTarget { Hidden, Current, Stored };

struct FaultLine {
    FaultEntry entry;
    FaultTarget target = FaultTarget::Hidden;
};

// One four-byte MIUG4 record (hi, lo, failure type, status): "P0105-1C", a description (looked
// up by the whole code text, else by the bare code), " LED on" for status 0x80; stored for 0x08,
// current for any of 0x07, hidden otherwise. Only existing language entries are consulted.
FaultLine DecodeFaultMiug4(const std::uint8_t* record, LanguageTexts& texts);

// One three-byte 11MP record (hi, lo, status): code, description, " : " + Fault_3..Fault_6 for
// a status low nibble of 1, 2, 4, 8; stored when bit 0x20 is set, otherwise current.
FaultLine DecodeFault11mp(const std::uint8_t* record, LanguageTexts& texts);

// Request 19 02 AF; an answer without records (59 02 AF) leaves the lists as they are, one with
// records of which none is shown gives "Fault_1" / "Fault_2". Records are counted from DtcCount,
// bounded by the bytes received. No answer, a refusal or a lost link marks the lists unread and
// says which.
JobEnding ReadFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

// Request 18 00 FF 00; the answer is 58, the number of records, then three-byte records. The
// count is taken from that byte and bounded by the bytes actually received; an answer 58 without
// records leaves the lists as they are; no answer, another answer or a lost link marks them unread.
JobEnding ReadFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

// Request 14 FF FF FF (MIUG4) / 14 FF 00 (11MP), then read again (unless the link is gone). The
// ending is the clearing's when the ECU did not take it, else the read's.
JobEnding ClearFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);
JobEnding ClearFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

} // namespace velmoro
