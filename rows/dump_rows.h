// Rows of data and index blocks as export dump rows: the items of each
// column (value, NULL FE FF, long value FD FF ... 00 00) and the row end
// 00 00, written through the dump primitives of rows/dmp_writer.h. The block
// walk, row selection and chain following are the text form's
// (rows/row_walk.h); only the writing of a piece differs.
//
// A column split across row pieces (flag N on one piece, P on the next) is
// written once, as one value, when the piece that ends it arrives, however
// many pieces it spans:
//   - a LONG or LONG RAW column (types 8, 24) is a long value: FD FF, then
//     the bytes of every piece as they come (value items, joined by a reader),
//     then 00 00 when the column ends; a NULL LONG is FD FF FE FF 00 00;
//   - any other column collects its pieces in the carry-over buffer and is
//     written from there; a value longer than one item (65532 bytes) cannot
//     be a single value and is cut to that length.
// Columns past the table's column count are not written, so every row has
// exactly the column count of the dump's type list.
//
// The row state lives in the session so that it passes along a chain (the
// walk copies it to and from the worker copy): dmpLongValue holds the flags
// below, carryOverLength the bytes collected in carryOver.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// Bits of SessionContext::dmpLongValue.
constexpr uint8_t kDmpLongOpen = 0x01;      // FD FF written, 00 00 not yet
constexpr uint8_t kDmpLongHasItems = 0x02;  // the open long value holds a value item
constexpr uint8_t kDmpColumnPending = 0x04; // the last column written continues in the next piece

// Export dump form of the data block walk: every qualifying row of one table
// of the block in the session buffer.
void dumpDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                   int committedOnly);

// Maps and writes one row piece; returns the table column index at which the
// next piece of the row starts. A first column of 0 starts a new row.
int dumpDataRow2(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn);

// Writes the columns in the session column map as the piece with the given
// flag (P, N and L are looked at) starting at table column firstColumn; a
// compressed block's columns are taken in its column order. Returns the
// column index at which the next piece starts.
int dumpMappedColumns(FILE* stream, SessionContext& ctx, int firstColumn, uint8_t pieceFlag,
                      bool compressed);

// Closes a row whose last piece never came: the column still open is written
// as far as it got, every table column from nextColumn on becomes a NULL
// item, and 00 00 ends the row.
void endDumpRow(FILE* stream, SessionContext& ctx, int nextColumn);

// Gives the session a carry-over buffer for the duration of one block walk
// when the interpreter has not set one up, and takes it back afterwards.
struct DmpCarryOver {
  explicit DmpCarryOver(SessionContext& ctx);
  ~DmpCarryOver();
  DmpCarryOver(const DmpCarryOver&) = delete;
  DmpCarryOver& operator=(const DmpCarryOver&) = delete;

 private:
  SessionContext& ctx_;
  unsigned char* own_ = nullptr;
};
