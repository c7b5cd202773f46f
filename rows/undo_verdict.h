// Whether the transaction of an ITL entry without a commit flag committed,
// asked of the transaction table in its undo segment header.
//
// Oracle leaves the commit flag off an ITL entry until a later visit cleans
// the block out (delayed block cleanout), so a committed-only unload that
// trusted the flag alone would lose committed rows. The entry's XID names an
// undo segment (usn), a slot of its transaction table and the slot's wrap
// at the time; the slot as it stands now decides:
//   same wrap, state committed    committed
//   same wrap, state active       open
//   greater wrap                  committed (the slot was reused after it)
//   smaller wrap, no header       undecided
// An entry whose XID is all zero holds no transaction: undecided.
//
// The headers are found through the list of undo segments the dictionary
// build (or SCAN UNDO) writes, one line "us#,file,block,ts#,status," each
// (SCAN UNDO leaves the status empty).
// Each header is read and decoded once per unload; each ITL of a block once
// per block. Rows whose ITL shows a commit never come here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "core/session_context.h"

constexpr const char* kUndoSegmentListPath = "ZUTDICT/ZUTUNDO.TXT";

enum class ItlVerdict : uint8_t { kNotAsked = 0, kCommitted, kOpen, kUndecided };

// One slot of a transaction table, as decoded.
struct UndoSlotState {
  uint16_t wrap = 0;
  uint8_t state = 0;
  uint32_t scnBase = 0;
  uint16_t scnWrap = 0;
};

struct UndoSegmentSlots {
  bool readable = false;  // the header read whole and is an undo segment header
  std::vector<UndoSlotState> slots;
};

struct ItlDecision {
  ItlVerdict verdict = ItlVerdict::kUndecided;
  uint16_t slot = 0;
  uint16_t wrap = 0;      // the slot's wrap now
  uint32_t scnBase = 0;   // the slot's SCN (its commit SCN when committed)
  uint16_t scnWrap = 0;
  bool reused = false;    // committed because the slot has been reused since
};

struct UndoTable {
  // usn -> relative file and block of its header.
  std::map<uint16_t, std::pair<uint16_t, uint32_t>> headers;
  std::map<uint16_t, UndoSegmentSlots> decoded;
  // Verdicts of the ITL entries of the block last asked about.
  uint32_t memoRDBA = 0;
  bool memoValid = false;
  ItlVerdict memo[256] = {};
  uint64_t rowsKept = 0;       // rows of committed transactions found in undo
  uint64_t rowsOpen = 0;       // rows of transactions still open, left out
  uint64_t rowsUndecided = 0;  // rows left out for want of an answer
};

// Reads the undo segment list; lines that do not parse are passed over.
// False when the file cannot be opened (the table is then empty).
bool loadUndoSegmentList(UndoTable& table, const char* path);
// Parses one list line: us#, relative file, block (then ts# and status,
// not needed here). False when it is not such a line.
bool parseUndoSegmentLine(const char* line, uint16_t& usn, uint16_t& file, uint32_t& block);

// Decides ITL entry itl of the data block in ctx through the undo segment
// header of its usn (read through ctx's file set, decoded once per table).
ItlDecision decideITL(UndoTable& table, const SessionContext& ctx, uint32_t itl);

// For a committed-only walk: a row locked by ITL entry lock − 1 whose flag
// shows no commit. True when the undo table says the transaction committed;
// the row is counted as kept, left out as open, or left out as undecided.
bool undoKeepsRow(SessionContext& ctx, uint8_t lock);

// The summary line after a committed-only unload; nothing when no row was
// locked by an ITL entry without a commit flag.
void printUndoSummary(FILE* out, const UndoTable& table);
