// SCAN UNDO: the undo segment list (ZUTDICT/ZUTUNDO.TXT) found without the
// dictionary. Every block of every file is read; each undo segment header
// (types 14 and 38) is told its undo segment number by an undo block it
// points to: the transaction control's UBA block, a transaction slot's last
// undo block, or the high-water-mark block, whichever is first found to be
// an undo block at its own address (an undo block carries its XID's usn).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/session_context.h"

struct FoundUndoHeader {
  uint16_t usn = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  int32_t tablespace = 0;
};

struct UndoScanResult {
  std::vector<FoundUndoHeader> headers;  // by usn, then file and block
  uint32_t unidentified = 0;             // headers that point to no undo block
};

// Walks the open files (file 0: all). The session block buffer is used by
// the walk; the undo blocks are read into a copy of the session.
UndoScanResult scanUndoHeaders(SessionContext& ctx, uint16_t file);

// One line a header: "us#,file,block,ts#,status," with the status left empty
// (only the dictionary knows it).
void writeUndoSegmentList(FILE* out, const UndoScanResult& found);
