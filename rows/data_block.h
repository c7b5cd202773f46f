// Rows of Oracle data blocks (block type 6, transaction-layer type 1): the
// data header, table and row directories, the row piece header and column
// encoding, and the block walk that selects rows, follows chained and
// migrated rows and writes each row as delimited text.
//
// A block is hostile input: every offset, length, count and address it holds
// is checked against the block before use. A bad slot is passed over, a bad
// column becomes NULL, a chain that cannot be followed ends its row early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "cli/session_context.h"

// ---- data header, at D = getDataBeginOffset ----

constexpr size_t kDataHeaderBase = 44;         // first ITL entry
constexpr size_t kDataHeaderITLSize = 24;
constexpr size_t kDataHeaderShiftFlagOffset = 38;
constexpr uint8_t kDataHeaderShiftFlag = 0x32;  // this flag byte moves the header 8 bytes on
constexpr size_t kDataHeaderShift = 8;
constexpr size_t kDataFlagOffset = 0;
constexpr size_t kTableCountOffset = 1;
constexpr size_t kRecordCountOffset = 2;
constexpr size_t kFirstFreeRowEntryOffset = 4;
constexpr size_t kFreeSpaceBeginOffset = 6;
constexpr size_t kFreeSpaceEndOffset = 8;
constexpr size_t kCurrentFreeSpaceOffset = 10;
constexpr size_t kTotalFreeSpaceOffset = 12;
constexpr size_t kTableDirectoryOffset = 14;   // plus the compression extension
constexpr size_t kTableEntrySize = 4;          // {first row slot, row count}
constexpr size_t kRowEntrySize = 2;
constexpr uint16_t kEmptyRowSlot = 0xFFFF;
constexpr uint8_t kDataFlagCompressed = 0x40;
constexpr uint8_t kDataTypeTable = 1;
constexpr uint8_t kDataTypeIndex = 2;

// ---- row piece header ----

constexpr uint8_t kRowClusterKey = 0x80;     // K
constexpr uint8_t kRowClusterMember = 0x40;  // C
constexpr uint8_t kRowHead = 0x20;           // H
constexpr uint8_t kRowDeleted = 0x10;        // D
constexpr uint8_t kRowFirst = 0x08;          // F
constexpr uint8_t kRowLast = 0x04;           // L
constexpr uint8_t kRowPrevious = 0x02;       // P: first column continues the previous piece
constexpr uint8_t kRowNext = 0x01;           // N: last column continues in the next piece
constexpr size_t kRowHeaderSize = 3;         // flag, lock, column count
constexpr size_t kRowAddressSize = 6;        // RDBA and slot, big-endian
constexpr size_t kClusterKeyExtraSize = 16;
constexpr size_t kClusterKeyChainedExtraSize = 6;
constexpr uint8_t kColumnNull = 255;
constexpr uint8_t kColumnLongLength = 254;

// ITL flags (high four bits of the flag and lock word) that mark a
// transaction as committed.
constexpr uint16_t kITLCommitted = 0x8;
constexpr uint16_t kITLUpperBoundCommit = 0x2;

// Writes a FIELD_TAG or RECORD_TAG of the given length (at most kTagSize).
inline void writeTag(FILE* stream, const char* tag, uint16_t length) {
  if (length == 1) {
    putc_unlocked(tag[0], stream);
  } else if (length > 0) {
    fwrite_unlocked(tag, 1, length < kTagSize ? length : kTagSize, stream);
  }
}

// The checks every row walk makes before it reads a block of rows: the
// VERBOSE line, then the corrupt list and (with BLOCK_CHECK) the checksum, and
// the skip list, each with its message. False when the block is passed over.
bool checkRowBlock(const SessionContext& ctx);

// ---- data block layout accessors over the session block buffer ----

// D: 44 + 24 × ITL count, plus 8 when the byte at 38 is 0x32.
uint32_t getDataBeginOffset(const SessionContext& ctx);
uint8_t getDataFlag(const SessionContext& ctx);
uint8_t getTableCount(const SessionContext& ctx);
uint16_t getRecordCount(const SessionContext& ctx);
uint16_t getFirstFreeRowEntry(const SessionContext& ctx);
uint16_t getFreeSpaceBeginOffset(const SessionContext& ctx);
uint16_t getFreeSpaceEndOffset(const SessionContext& ctx);
uint16_t getCurrentFreeSpace(const SessionContext& ctx);
uint16_t getTotalFreeSpace(const SessionContext& ctx);
// Start of the table directory: D + 14 + the compression extension.
uint32_t getTableDirectoryOffset(const SessionContext& ctx);
// Table directory entry t: first row-directory slot and row count.
uint16_t getTableRowIndex(const SessionContext& ctx, uint32_t table);
uint16_t getTableRowCount(const SessionContext& ctx, uint32_t table);
// How many row-directory entries of table t, from its first slot on, lie
// inside the block (a bound for walks over a damaged row count).
uint32_t rowSlotsInBlock(const SessionContext& ctx, uint32_t table);
// Row-directory entry of row r of table t, relative to D; kEmptyRowSlot for
// an empty slot or an entry that lies outside the block.
uint16_t getTableRowOffset(const SessionContext& ctx, uint32_t table, uint32_t row);

// ---- row mapping and output ----

// Absolute offset of row r of table t (D + its directory entry); 0 for an
// empty slot or a row that would start outside the block.
uint32_t getRowStart(const SessionContext& ctx, uint32_t table, uint32_t row);
// Appends one column to the session column map; false when the map is full.
bool appendMappedColumn(SessionContext& ctx, uint32_t offset, uint32_t length);
// Makes NULL (offset S − 2, length 0) every mapped column that reaches S − 1.
void clampMappedColumns(SessionContext& ctx);

// Fills the session column map with the columns of one row piece of an
// uncompressed block (a cluster member's key columns first), and stores the
// piece's flag and addresses. The caller sets mappedCount to 0 first.
void mapNormalColumns(SessionContext& ctx, int table, int row);

// Maps and writes one row piece; returns the table column index at which the
// next piece of the row starts.
int printDataRow2(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn);

// Text output of every qualifying row of one table of the block in the
// session buffer.
void printDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                    int committedOnly);

// 1 when the block holds at least one live row of table t (or, for an index
// block, one live index-organized row), else 0.
int countDataRows(const SessionContext& ctx, int table);

// Writes the mapped columns of a piece, starting at table column
// firstColumn: column-number prefixes, unknown-type warnings, values (or,
// when the row output mode is not 0, the type guesser) and FIELD_TAG between
// them; in a compressed block the map is read in its column order. The tags
// that end the piece are the caller's. Returns firstColumn + the columns.
int printMappedColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                       bool compressed);

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

// Text form of closing a row early: RECORD_TAG (row output mode 0 only).
void endTextRow(FILE* stream, SessionContext& ctx, int nextColumn);

// True when a row locked by ITL entry lock − 1 may be taken by a
// committed-only unload: unlocked, or its ITL flag shows a commit (0x8) or an
// upper-bound commit (0x2). A lock naming an entry the block does not have
// shows no commit.
bool isRowCommitted(const SessionContext& ctx, uint8_t lock);

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
