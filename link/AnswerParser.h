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

struct ParsedAnswer {
    int count = 0;          // data bytes stored in elements 1..count (at most 127)
    QByteArray answerBytes; // every byte of the answer, first three included
};

// Parses the adapter's answer text (everything before '>') into response:
// - "7F..." (negative, response pending too): count 0, response untouched.
// - A colon anywhere: multi-frame; the length line and the line indexes are dropped,
//   "008 \r0: 62 10 3C 01 02 03 \r1: 04 05 \r" -> count 5, elements 1..5 = 01..05.
//   Lines without trailing spaces and CR LF line ends give the same bytes.
// - Otherwise single frame: "62 10 3C 01 02 \r\r" -> count 2, elements 1,2 = 01,02;
//   "62 10 3C" -> 0. Adapter messages: each space-separated word after the first eight
//   characters counts as one byte 0x00 ("UNABLE TO CONNECT" -> count 1, element 1 = 0).
// - When the text contains "59 02", element 0 (DtcCount) := count / 4; otherwise untouched.
// Answers with more than 127 data bytes are truncated to 127.
ParsedAnswer ParseAnswer(const QByteArray& answerText, ResponseBuffer& response);

// False when the answer text is ECU data that cannot be the answer to this request: a positive
// answer of another service or, for services that echo it, another identifier ("62 10 30 .."
// to 22 10 31), or a negative answer to another service. Adapter messages, silence and answers
// too short to tell count as belonging.
bool AnswerBelongsTo(const std::uint8_t* request, int length, const QByteArray& answerText);

} // namespace velmoro
