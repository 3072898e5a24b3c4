// Reading and clearing the fault memory of both ECU families, and the texts of fault lines.
#pragma once

#include "config/LanguageTexts.h"
#include "ecu/FaultLists.h"
#include "link/Exchange.h"

#include <QString>
#include <cstdint>

namespace velmoro {

// Letter from the top two bits of hi (P, C, B, U), digit from bits 5-4, then the low 12 bits of
// hi*256+lo as three upper-case hex digits: (0x01, 0x05) -> "P0105", (0xC1, 0x21) -> "U0121".
QString FaultCodeText(std::uint8_t hi, std::uint8_t lo);

// Which list a decoded fault line belongs to.
enum class FaultTarget { Hidden, Current, Stored };

struct FaultLine {
    QString text;
    FaultTarget target = FaultTarget::Hidden;
};

// One four-byte MIUG4 record (hi, lo, failure type, status): "P0105-1C", a description (looked
// up by the whole code text, else by the bare code), " LED on" for status 0x80; stored for 0x08,
// current for any of 0x07, hidden otherwise. Only existing language entries are consulted.
FaultLine DecodeFaultMiug4(const std::uint8_t* record, LanguageTexts& texts);

// One three-byte 11MP record (hi, lo, status): code, description, " : " + Fault_3..Fault_6 for
// a status low nibble of 1, 2, 4, 8; stored when bit 0x20 is set, otherwise current.
FaultLine DecodeFault11mp(const std::uint8_t* record, LanguageTexts& texts);

// Request 19 02 AF; a result of 0 or less leaves the lists as they are. No records gives
// "Fault_1" / "Fault_2". Records are counted from DtcCount, bounded by the bytes received.
void ReadFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

// Request 18 00 FF 00; the answer is 58, the number of records, then three-byte records. The
// count is taken from that byte and bounded by the bytes actually received; a result of 0 or
// less, or an answer not starting with 58, leaves the lists as they are.
void ReadFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

// Request 14 FF FF FF (MIUG4) / 14 FF 00 (11MP), answer ignored, then read again.
void ClearFaultsMiug4(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);
void ClearFaults11mp(ExchangeLink& link, LanguageTexts& texts, FaultLists& lists);

} // namespace velmoro
