// Rows for the synthetic database builder: data blocks (type 6) holding row
// pieces of any number of tables, written from the on-disk row layout
// (never through the tool's decoders, so that the two check each other).
//
// Three levels:
//   - addRowBlock lays out one block from an explicit plan: tables, row
//     pieces with any flags, lock bytes, cluster keys, row addresses, raw
//     (possibly damaged) row bytes, empty slots, ITL flags, the header shift
//     and the compression header extension;
//   - packRows fills consecutive blocks with the rows of one table, chaining
//     rows that do not fit one block (or that ask for it) and migrating rows
//     that ask for it;
//   - addCompressedBlock packs rows into one basic-compressed block with a
//     symbol table: repeated values become symbol rows, repeated column pairs
//     nested multi-column symbols, leading fixed-length columns a run from the
//     column length table, and the columns may be stored in another order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/oracle_values.h"

namespace mkdb {

// A column value; no value is NULL.
using Value = std::optional<OracleBytes>;
using RowValues = std::vector<Value>;

// Row piece flags.
constexpr uint8_t kRowK = 0x80;  // cluster key
constexpr uint8_t kRowC = 0x40;  // cluster member
constexpr uint8_t kRowH = 0x20;  // head piece
constexpr uint8_t kRowD = 0x10;  // deleted
constexpr uint8_t kRowF = 0x08;  // first piece
constexpr uint8_t kRowL = 0x04;  // last piece
constexpr uint8_t kRowP = 0x02;  // first column continues the previous piece
constexpr uint8_t kRowN = 0x01;  // last column continues in the next piece
constexpr uint8_t kRowWhole = kRowH | kRowF | kRowL;

struct RowAddress {
  uint32_t rdba = 0;
  uint16_t slot = 0;
};

// One row piece as stored.
struct RowPiece {
  uint8_t flag = kRowWhole;
  uint8_t lock = 0;                  // ITL entry + 1; 0 unlocked
  std::vector<Value> columns;
  uint8_t clusterKeyIndex = 0;       // stored when flag has C
  RowAddress head;                   // stored when F is set and H is not
  RowAddress next;                   // stored when L is clear
  std::vector<uint8_t> raw;          // when set: the stored bytes, as given
  bool empty = false;                // an empty row slot (0xFFFF)
};

struct CompressHeader {
  uint16_t mecRows = 0;              // symbol rows below this hold several columns
  std::vector<int16_t> lengths;      // column length table (cumulative offsets)
  std::vector<uint8_t> order;        // column order
};

// The transaction of an ITL entry: undo segment, transaction table slot and
// the slot's wrap.
struct ItlXid {
  uint16_t usn = 0;
  uint16_t slot = 0;
  uint32_t wrap = 0;
};

// Writes the XIDs into the first ITL entries of a block image.
void putItlXids(const FileImage& f, Block& b, uint8_t itls, const std::vector<ItlXid>& xids);

struct DataBlockPlan {
  uint32_t objd = 0;
  uint8_t itls = 2;
  std::vector<uint8_t> itlFlags;     // flag nibble per ITL entry; missing entries: committed
  std::vector<ItlXid> itlXids;       // XID per ITL entry; missing entries: all zero
  bool headerShift = true;           // byte 38 is 0x32: the data header starts 8 bytes on
  bool compressed = false;           // data header flag 0x40 and the extension below
  CompressHeader compress;
  std::vector<std::vector<RowPiece>> tables;
};

// Stored bytes of a piece (header and columns; raw bytes as given).
std::vector<uint8_t> encodeRowPiece(const RowPiece& piece, uint8_t byteOrder);

// Stored bytes of one column, appended to out: 0xFF for NULL, else a length
// byte (past 250 bytes 0xFE and 2 length bytes in the byte order) and the
// value; columnSize is their number.
void appendColumn(std::vector<uint8_t>& out, const Value& v, uint8_t byteOrder);
size_t columnSize(const Value& v);

// Offset of the data header (44 + 24 × ITLs, plus 8 with the shift).
uint32_t dataHeaderOffset(const DataBlockPlan& plan);

// Lays out a data block as block `block` of the file. Rows are placed from
// the end of the block downward, in slot order. Returns 0, or 1 when the
// rows do not fit (nothing is added then).
int addRowBlock(FileImage& f, uint32_t block, const DataBlockPlan& plan);
// The same into a block image of the file's geometry, without adding it.
int encodeRowBlock(const FileImage& f, uint32_t block, const DataBlockPlan& plan, Block& out);

// ---- one table over consecutive blocks ----

struct TableRow {
  RowValues values;
  enum Placement : uint8_t { kInPlace, kMigrated, kChained } placement = kInPlace;
  uint8_t pieces = 2;                // pieces of a chained row, one block each
  bool deleted = false;
  uint8_t lock = 0;
};

struct PackOptions {
  uint32_t objd = 0;
  uint8_t itls = 2;
  std::vector<uint8_t> itlFlags;
  std::vector<ItlXid> itlXids;
  bool headerShift = true;
  uint32_t emptySlotEvery = 0;       // an empty slot before every n-th row; 0 none
};

// Packs the rows into blocks firstBlock, firstBlock + 1, … and adds the
// blocks to the file. Trailing NULL columns are not stored. A row too large
// for one block is chained over as many blocks as it needs; a column too
// large for one piece is split across pieces (N and P flags). Returns the
// blocks written, in order (empty when a row cannot be placed at all). With
// placement, (*placement)[i] receives the blocks holding the pieces of rows[i]
// (the head first), so tests know which rows a damaged block touches.
std::vector<uint32_t> packRows(FileImage& f, uint32_t firstBlock, const std::vector<TableRow>& rows,
                               const PackOptions& options,
                               std::vector<std::vector<uint32_t>>* placement = nullptr);

// ---- basic compression ----

struct CompressOptions {
  std::vector<uint8_t> storageOrder;  // stored position j holds table column storageOrder[j]
  bool fixedRun = true;               // leading fixed-length columns through the length table
  bool pairSymbols = true;            // repeated adjacent pairs as nested two-column symbols
  uint8_t itls = 2;
  bool headerShift = true;
};

// Packs as many rows from rows[first] on as fit into one compressed block
// written as block `block`. Every row stores all its columns (trailing NULLs
// included). Returns the number of rows taken; 0 when not even one fits.
size_t addCompressedBlock(FileImage& f, uint32_t block, uint32_t objd,
                          const std::vector<RowValues>& rows, size_t first,
                          const CompressOptions& options);

// Compressed row units, for hand-made compressed blocks.
struct Unit {
  enum Kind : uint8_t { kSymbol, kInline, kNull, kRun } kind = kNull;
  uint16_t symbol = 0;               // kSymbol
  OracleBytes value;                 // kInline
  std::vector<OracleBytes> run;      // kRun: values whose lengths the length table gives
  uint8_t nullByte = 0xFF;           // kNull: 252 … 255
};
Unit symbolUnit(uint16_t symbol);
Unit inlineUnit(const OracleBytes& value);
Unit nullUnit(uint8_t byte = 0xFF);
Unit runUnit(const std::vector<OracleBytes>& values);

// A symbol row: below M (multi) flag, lock and unit count, else two header
// bytes and one unit. Values of 1 … 49 bytes are written short, others with
// a 2-byte length.
std::vector<uint8_t> encodeSymbolRow(const std::vector<Unit>& units, bool multi);
// A data row of table 1: flag, lock, unit count, the extra byte when the
// block has a length table, the head address when F is clear, the next
// address when L is clear, then the units.
std::vector<uint8_t> encodeCompressedRow(uint8_t flag, uint8_t lock, const std::vector<Unit>& units,
                                         bool hasLengthTable, RowAddress head = {},
                                         RowAddress next = {});

}  // namespace mkdb
