// Download of the ECU's stored data blocks into a binary file next to the program.
#pragma once

#include "ecu/Procedures.h"

#include <QDateTime>
#include <QString>

namespace velmoro {

// Both write <directory><base name>_<stamp>_MIUG4_StoredData.bin (..._11MP_StoredData.bin); a
// second download in the same second adds _2 after the stamp.
//
// MIUG4: start 31 01 02 24 (result >= 1), block count in data byte 1, blocks 31 03 02 24 i;
// a block whose data byte 2 is 0xAA is skipped, otherwise data bytes 3..result-1 are written.
// resultText: "View_68: Error", or on success "View_68: Ok" + LF + the file name; fileName: the
// file written on success; when the link ended before the last block, the file keeping what
// arrived (the name + ".part"); else empty.
int DownloadStoredDataMiug4(const ProcedureContext& ctx, ProcedureRecord& record);

// 11MP: start 31 24 (result exactly 2), block count in data byte 0, blocks 33 24 i; each block
// contributes result - 2 bytes starting at data byte 1 (without its first and last data byte).
int DownloadStoredData11mp(const ProcedureContext& ctx, ProcedureRecord& record);

} // namespace velmoro
