// The walk over the rows of a data block (block type 6, transaction-layer
// type 1): row selection (deleted, committed-only, row limit), the block
// checks, and the following of chained and migrated rows through a worker
// copy of the session. The text and export dump forms supply how a piece is
// written (rows/text_rows.h, rows/dump_rows.h).
//
// A slot that is not a real row start is passed over; a chain that cannot be
// followed ends its row early.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"
#include "core/stream_write.h"

// Writes a FIELD_TAG or RECORD_TAG of the given length (at most kTagSize).
inline void writeTag(FILE* stream, const char* tag, uint16_t length) {
  if (length == 1) {
    putc_unlocked(tag[0], stream);
  } else if (length > 0) {
    writeBytes(stream, tag, length < kTagSize ? length : kTagSize);
  }
}

// The checks every row walk makes before it reads a block of rows: the
// VERBOSE line, then the corrupt list and (with BLOCK_CHECK) the checksum, and
// the skip list, each with its message. False when the block is passed over.
bool checkRowBlock(const SessionContext& ctx);

// Maps row piece r of table t into the session column map, compressed or
// not as the block is.
void mapRowPiece(SessionContext& ctx, int table, int row);

// 1 when the block holds at least one live row of table t (or, for an index
// block, one live index-organized row), else 0.
int countDataRows(const SessionContext& ctx, int table);

// The block walk is shared by the text and export dump forms of the output:
// the same row selection, block checks and chain following, with the piece
// writer and the way a row that is cut short is closed supplied by the form.
struct RowPieceWriter {
  // Maps and writes one piece; returns the column index of the next piece.
  int (*writePiece)(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn);
  // Closes a row whose last piece was never written; nextColumn is the
  // table column at which the missing piece would have started.
  void (*endRowEarly)(FILE* stream, SessionContext& ctx, int nextColumn);
  // Export dump form: no row address prefix, and chained blocks that fail
  // the block check are reported.
  bool dumpForm;
};

// True when a row locked by ITL entry lock − 1 may be taken by a
// committed-only unload: unlocked, or its ITL flag shows a commit (0x8) or an
// upper-bound commit (0x2). A lock naming an entry the block does not have
// shows no commit.
bool isRowCommitted(const SessionContext& ctx, uint8_t lock);
// A committed-only walk's test of a row (heap or index-organized): committed
// by its ITL flag, or, when the flag is off, by its transaction's undo slot
// (a committed transaction whose block was never cleaned out).
bool committedOnlyKeeps(SessionContext& ctx, uint8_t lock);

// The worker copy of the session that chained pieces are read into (so the
// block under decoding stays in the session buffer), made on first use and
// released with its block buffer at the end of the walk.
struct ChainWorker {
  SessionContext* ctx = nullptr;
  ChainWorker() = default;
  ~ChainWorker();
  ChainWorker(const ChainWorker&) = delete;
  ChainWorker& operator=(const ChainWorker&) = delete;
  // The copy, made from `from` when there is none yet; null when it cannot
  // be allocated.
  SessionContext* get(const SessionContext& from);
};

// Follows a row from the next piece address in ctx (row `row` of the block
// in ctx is its head), writing each piece found in the worker copy with the
// form's piece writer and advancing column. Returns true when a last piece
// (flag L) closed the row; false when the chain ended first, and the caller
// then closes the row early.
//
// dataRows: the rules of data block rows: the chain must stay in the head
// block's data object, MAXCHAINS applies, and a chained block that fails the
// block check is reported only in the dump form. Without it (overflow pieces
// of index-organized rows) the object is not compared, there is no MAXCHAINS
// limit and such a block is always reported. Either way a chain that comes
// back to an address it has visited ends the row.
bool followRowChain(FILE* stream, SessionContext& ctx, ChainWorker& worker, int table, int row,
                    int& column, const RowPieceWriter& writer, bool dataRows);

void walkDataRows(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                  int committedOnly, const RowPieceWriter& writer);
