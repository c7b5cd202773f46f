// Data block layout (block type 6): the data header that follows the ITL
// entries, the table and row directories, the row piece header, the column
// length encoding shared by table, cluster and index rows, and the header
// extension of basic table compression. Constants and accessors only: the
// accessors read the block in the session block buffer through the
// bounds-checked readers and yield 0 (or an empty slot) for anything outside
// the block.
//
//   D = 44 + 24 × ITL count (+ 8 when the byte at 38 is 0x32)
//   D+0  flag (0x40 compressed)   D+1  table count   D+2  record count
//   D+4  first free row entry     D+6  free space begin   D+8  free space end
//   D+10 current free space       D+12 total free space
//   D+14 (+ compression extension) table directory: {first slot, rows} × tables
//   then the row directory: one 2-byte offset from D per row slot
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "core/session_context.h"
#include "format/block_layout.h"

// ---- data header, offsets from D ----

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

// Transaction-layer type (byte 20 of the block).
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

// ---- column encoding ----
// A length byte, then the data: 255 is NULL (no data), 254 is followed by a
// 16-bit length in the session byte order, anything else is the length.

constexpr uint8_t kColumnNull = 255;
constexpr uint8_t kColumnLongLength = 254;

// ITL flags (high four bits of the flag and lock word) that mark a
// transaction as committed.
constexpr uint16_t kITLCommitted = 0x8;
constexpr uint16_t kITLUpperBoundCommit = 0x2;
// The other two flag bits, shown by the block dump: B, the undo address
// holds this entry's undo, and T, active at block cleanout.
constexpr uint16_t kITLUndoForEntry = 0x4;
constexpr uint16_t kITLActiveAtCleanout = 0x1;

// ---- compression header extension, offsets from D ----

constexpr size_t kCompressMecRowsOffset = 16;     // multi-column symbol rows M
constexpr size_t kCompressLengthCountOffset = 19;  // NL
constexpr size_t kCompressOrderCountOffset = 20;   // NO
constexpr size_t kCompressLengthTableOffset = 22;  // NL signed 16-bit entries, then NO order bytes
constexpr size_t kCompressExtensionBase = 8;

// Column units of compressed rows, by their first byte. All 2-byte values
// inside compressed rows are big-endian whatever the byte order.
constexpr uint8_t kUnitMaxSymbol = 200;       // 0 … 200: reference to that symbol row
constexpr uint8_t kUnitInlineBase = 200;      // 201 … 249: u − 200 bytes (or a run)
constexpr uint8_t kUnitMaxInline = 249;
constexpr uint8_t kUnitLongInline = 250;      // 2-byte length, then the data
constexpr uint8_t kUnitLongSymbol = 251;      // 2-byte symbol row number
constexpr uint8_t kUnitFirstNull = 252;       // 252 … 255: NULL

// ---- one column ----

// Where one column's data lies in the block; length 0 is NULL (data is then
// the length byte's own offset).
struct ColumnSpan {
  uint32_t data = 0;
  uint32_t length = 0;
};

// Decodes the column whose length byte is at pos in a block of limit bytes.
// Returns the position after its data, or 0 when the length byte or the data
// would leave the block (out is then unchanged).
inline uint32_t decodeColumn(const unsigned char* block, uint32_t limit, uint32_t pos,
                             uint8_t order, ColumnSpan& out) {
  if (block == nullptr || pos >= limit) return 0;
  const uint8_t l = block[pos];
  if (l == kColumnNull) {
    out.data = pos;
    out.length = 0;
    return pos + 1;
  }
  uint32_t data = pos + 1;
  uint32_t length = l;
  if (l == kColumnLongLength) {
    if (static_cast<uint64_t>(pos) + 3 > limit) return 0;
    length = readUB2(block, limit, pos + 1, order);
    data = pos + 3;
  }
  if (static_cast<uint64_t>(data) + length > limit) return 0;
  out.data = data;
  out.length = length;
  return data + length;
}

// ---- data header accessors over the session block buffer ----

// D: 44 + 24 × ITL count, plus 8 when the byte at 38 is 0x32.
inline uint32_t getDataBeginOffset(const SessionContext& ctx) {
  uint32_t d = static_cast<uint32_t>(kFirstITLOffset + kITLSize * getITLCount(ctx));
  if (sessionUB1(ctx, kDataHeaderShiftFlagOffset) == kDataHeaderShiftFlag) d += kDataHeaderShift;
  return d;
}
inline uint8_t getDataFlag(const SessionContext& ctx) {
  return sessionUB1(ctx, getDataBeginOffset(ctx) + kDataFlagOffset);
}
inline uint8_t getTableCount(const SessionContext& ctx) {
  return sessionUB1(ctx, getDataBeginOffset(ctx) + kTableCountOffset);
}
inline uint16_t getRecordCount(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kRecordCountOffset);
}
inline uint16_t getFirstFreeRowEntry(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFirstFreeRowEntryOffset);
}
inline uint16_t getFreeSpaceBeginOffset(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFreeSpaceBeginOffset);
}
inline uint16_t getFreeSpaceEndOffset(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFreeSpaceEndOffset);
}
inline uint16_t getCurrentFreeSpace(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kCurrentFreeSpaceOffset);
}
inline uint16_t getTotalFreeSpace(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kTotalFreeSpaceOffset);
}

// X, the length of the compression header extension; 0 for a block that is
// not compressed.
inline uint32_t getCompressOffset(const SessionContext& ctx) {
  const uint32_t d = getDataBeginOffset(ctx);
  if (!(sessionUB1(ctx, d + kDataFlagOffset) & kDataFlagCompressed)) return 0;
  const uint32_t nl = sessionUB1(ctx, d + kCompressLengthCountOffset);
  const uint32_t no = sessionUB1(ctx, d + kCompressOrderCountOffset);
  return static_cast<uint32_t>(kCompressExtensionBase + 2 * nl + no + (no & 1));
}
inline uint32_t isCompressTable(const SessionContext& ctx) { return getCompressOffset(ctx); }
// M: symbol rows below it may hold several columns, the others one.
inline uint16_t getCompressMecRows(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kCompressMecRowsOffset);
}

// Start of the table directory: D + 14 + the compression extension.
inline uint32_t getTableDirectoryOffset(const SessionContext& ctx) {
  return static_cast<uint32_t>(getDataBeginOffset(ctx) + kTableDirectoryOffset + getCompressOffset(ctx));
}
// Table directory entry t: first row-directory slot and row count.
inline uint16_t getTableRowIndex(const SessionContext& ctx, uint32_t table) {
  return sessionUB2(ctx, getTableDirectoryOffset(ctx) + kTableEntrySize * static_cast<size_t>(table));
}
inline uint16_t getTableRowCount(const SessionContext& ctx, uint32_t table) {
  return sessionUB2(ctx, getTableDirectoryOffset(ctx) + kTableEntrySize * static_cast<size_t>(table) + 2);
}

// Row-directory entry of row r of table t, relative to D; kEmptyRowSlot for
// an empty slot or an entry that lies outside the block. Rows past the
// table's own row count, and tables past the table count, are treated as
// empty slots rather than read from whatever follows.
// A walk over the rows of a table reads where its directory entries begin
// and how many it has once (getRowDirectory), then each entry.
struct RowDirectory {
  size_t entries = 0;  // absolute offset of the table's first entry
  uint32_t rows = 0;   // the table's row count; 0 for a table the block lacks
};
inline RowDirectory getRowDirectory(const SessionContext& ctx, uint32_t table) {
  RowDirectory d;
  const uint8_t ntab = getTableCount(ctx);
  if (ctx.blockBuffer == nullptr || table >= ntab) return d;
  const size_t directory = getTableDirectoryOffset(ctx);
  const size_t tableEntry = directory + kTableEntrySize * static_cast<size_t>(table);
  d.rows = sessionUB2(ctx, tableEntry + 2);
  d.entries = directory + kTableEntrySize * static_cast<size_t>(ntab) +
              kRowEntrySize * static_cast<size_t>(sessionUB2(ctx, tableEntry));
  return d;
}
inline uint16_t getRowDirectoryEntry(const SessionContext& ctx, const RowDirectory& d,
                                     uint32_t row) {
  if (row >= d.rows) return kEmptyRowSlot;
  const size_t entry = d.entries + kRowEntrySize * static_cast<size_t>(row);
  if (entry + kRowEntrySize > ctx.blockSize) return kEmptyRowSlot;
  return sessionUB2(ctx, entry);
}
inline uint16_t getTableRowOffset(const SessionContext& ctx, uint32_t table, uint32_t row) {
  return getRowDirectoryEntry(ctx, getRowDirectory(ctx, table), row);
}

// How many row-directory entries of table t, from its first slot on, lie
// inside the block: a bound for any walk over a row count that may be damaged.
inline uint32_t rowSlotsInBlock(const SessionContext& ctx, uint32_t table) {
  const size_t directory = getTableDirectoryOffset(ctx);
  const size_t first = directory + kTableEntrySize * static_cast<size_t>(getTableCount(ctx)) +
                       kRowEntrySize * static_cast<size_t>(getTableRowIndex(ctx, table));
  return first < ctx.blockSize ? static_cast<uint32_t>((ctx.blockSize - first) / kRowEntrySize) : 0;
}

// Absolute offset of row r of table t (D + its directory entry); 0 for an
// empty slot or a row that would start outside the block.
inline uint32_t getRowStart(const SessionContext& ctx, uint32_t table, uint32_t row) {
  const uint16_t offset = getTableRowOffset(ctx, table, row);
  if (offset == kEmptyRowSlot) return 0;
  const uint32_t start = getDataBeginOffset(ctx) + offset;
  return start < ctx.blockSize ? start : 0;
}
