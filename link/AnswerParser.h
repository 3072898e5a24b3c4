// Pure text <-> bytes conversions of the request channel: request encoding, answer parsing.
#pragma once

#include "link/Exchange.h"

#include <QByteArray>
#include <cstdint>

namespace velmoro {

// Most data bytes one answer can store (response buffer elements 1..127).
constexpr int kMaxAnswerDataBytes = kResponseBufferSize - 1;

// Two upper-case hex digits per byte, no separators: {0x22, 0x10, 0x3C} -> "22103C".
// Empty for length <= 0.
QByteArray EncodeRequest(const std::uint8_t* bytes, int length);
// One byte as two upper-case hex digits: 0x0A -> "0A".
QByteArray Hex2(std::uint8_t byte);

// What an answer text turned out to be.
enum class AnswerShape {
    Empty,    // nothing but blank lines and status lines (SEARCHING..., BUS INIT: ...OK)
    Data,     // clean hex data: one single-frame line, or the length line and numbered lines
    Negative, // clean hex data that is a negative answer (7F ..), response pending too
    Foreign,  // clean hex data, but not the positive answer to the request it was read for
    Message,  // an adapter message (NO DATA, CAN ERROR, ?, LV RESET, ERR94, the banner, ...)
    Junk,     // anything else: noise, a cut line, a wrong index sequence, a wrong length
};

struct ParsedAnswer {
    int count = 0;          // data bytes stored in elements 1..count (at most 127)
    QByteArray answerBytes; // every byte of a clean answer, first three included; else empty
    AnswerShape shape = AnswerShape::Empty;
};

// Parses the adapter's answer text (everything before '>') into response. An answer is data
// only when it is clean: blank lines and status lines are skipped, and what is left must be
// either one line of two-digit hex words or a multi-frame answer (the length line, then the
// lines indexed 0, 1, ... F, 0, ... whose bytes add up to that length). Line ends CR, LF or
// CR LF, trailing spaces or none, upper- or lower-case digits all give the same bytes.
// - "62 10 3C 01 02 \r\r" -> count 2, elements 1,2 = 01,02; "62 10 3C" -> 0 (three bytes or
//   fewer carry no data).
// - "008 \r0: 62 10 3C 01 02 03 \r1: 04 05 \r" -> count 5, elements 1..5 = 01..05.
// - "SEARCHING...\r62 10 30 0B B8 \r\r" -> count 2 (the status line is skipped).
// - "7F.." (negative, response pending too): count 0, response untouched.
// - Adapter messages ("UNABLE TO CONNECT", "NO DATA", "?"), noise ("62 1#0 0B B8"), a cut line
//   ("62 10 30 0B B"), a wrong index ("0: .. \r2: ..") or length: count 0, response untouched.
// - With the request given, data that is not its positive answer (service + 0x40 and the echoed
//   identifier, as AnswerBelongsTo checks) is Foreign: count 0, response untouched.
// - A clean positive fault answer "59 02 .." sets element 0 (DtcCount) := count / 4; every
//   other answer leaves it.
// Answers with more than 127 data bytes are truncated to 127.
ParsedAnswer ParseAnswer(const QByteArray& answerText, ResponseBuffer& response,
                         const std::uint8_t* request = nullptr, int requestLength = 0);

// What in an answer shows that the adapter restarted and lost its set-up while the link was up,
// or empty when nothing does: its banner ("ELM327 v1.5") or "LV RESET" anywhere, the echo of the
// command sent (echo was turned off), "SEARCHING..." or "UNABLE TO CONNECT" (the protocol set
// at connect is fixed, so the adapter neither searches nor fails to find one).
//   ("221030\rSEARCHING...\rUNABLE TO CONNECT\r", "221030") -> "221030"
//   ("62 10 30 0B B8 \r\r", "221030") -> ""
QByteArray AdapterRestartSign(const QByteArray& answerText, const QByteArray& commandSent);

// False when the answer text is ECU data that cannot be the answer to this request: a positive
// answer of another service or, for services that echo it, another identifier ("62 10 30 .."
// to 22 10 31), or a negative answer to another service. Adapter messages, silence and answers
// too short to tell count as belonging.
bool AnswerBelongsTo(const std::uint8_t* request, int length, const QByteArray& answerText);

} // namespace velmoro
