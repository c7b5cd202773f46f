// Rows of index blocks (block type 6, transaction-layer type 2): the index
// header accessors, the leaf row directory, and the leaf rows of
// index-organized tables with their optional non-key part and overflow chain,
// written as delimited text or as export dump rows. Also the header listing
// of the block dumps.
//
// Leaf row of an index-organized table, at D + directory entry:
//   flag (0x01 deleted, 0x04 a non-key part follows), lock, kdxledsz bytes
//   passed over, kdxconco key columns, then with flag 0x04 a row piece
//   header (flag, lock, cc, and a big-endian next piece address when the
//   flag has no L bit) and cc more columns.
// Columns use the data row encoding (length byte; 255 NULL; 254 and a
// 16-bit length in the session byte order).
//
// A block is hostile input: counts, offsets and lengths are checked against
// the block; mapping stops, keeping what it has, where a column would leave
// the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "cli/session_context.h"

// ---- index header, offsets from D (the data header start) ----

constexpr size_t kIndexColevOffset = 0;
constexpr size_t kIndexColokOffset = 1;
constexpr size_t kIndexCoopcOffset = 2;
constexpr size_t kIndexConcoOffset = 3;
constexpr size_t kIndexCosdcOffset = 4;
constexpr size_t kIndexConroOffset = 8;
constexpr size_t kIndexCofboOffset = 10;
constexpr size_t kIndexCofeoOffset = 12;
constexpr size_t kIndexCoavsOffset = 14;
// Leaf blocks.
constexpr size_t kIndexLesplOffset = 16;
constexpr size_t kIndexLendeOffset = 18;
constexpr size_t kIndexLenxtOffset = 20;
constexpr size_t kIndexLeprvOffset = 24;
constexpr size_t kIndexLedszOffset = 28;
constexpr size_t kIndexLebkszOffset = 32;
constexpr size_t kIndexLeafDirectory = 36;
// Branch blocks.
constexpr size_t kIndexBrlmcOffset = 16;
constexpr size_t kIndexBrsnoOffset = 20;
constexpr size_t kIndexBrbkszOffset = 24;
constexpr size_t kIndexBranchDirectory = 28;

constexpr uint8_t kIndexOpcodeIOTRows = 0x10;  // leaf rows of an index-organized table
constexpr uint8_t kIndexRowDeletedFlag = 0x01;
constexpr uint8_t kIndexRowNonKey = 0x04;      // a non-key part follows the key
constexpr size_t kIndexRowHeaderSize = 2;      // flag, lock

// ---- accessors over the session block buffer ----

uint8_t getIndexColev(const SessionContext& ctx);
uint8_t getIndexColok(const SessionContext& ctx);
uint8_t getIndexCoopc(const SessionContext& ctx);
// The opcode byte as a number (the listing shows it in both forms).
uint8_t getIndexOpcode(const SessionContext& ctx);
uint8_t getIndexColumnCount(const SessionContext& ctx);
uint32_t getIndexCosdc(const SessionContext& ctx);
uint16_t getIndexRowCount(const SessionContext& ctx);
uint16_t getIndexFreeSpaceBegin(const SessionContext& ctx);
uint16_t getIndexFreeSpaceEnd(const SessionContext& ctx);
uint16_t getIndexFreeSpace(const SessionContext& ctx);
uint16_t getIndexLespl(const SessionContext& ctx);
uint16_t getIndexLende(const SessionContext& ctx);
uint32_t getIndexLenxt(const SessionContext& ctx);
uint32_t getIndexLeprv(const SessionContext& ctx);
uint8_t getIndexLedsz(const SessionContext& ctx);
uint16_t getIndexLebksz(const SessionContext& ctx);
uint32_t getIndexBrlmc(const SessionContext& ctx);
uint32_t getIndexBrsno(const SessionContext& ctx);
uint16_t getIndexBrbksz(const SessionContext& ctx);
// Row directory entry i (relative to D): at D+36 in a leaf, D+28 in a branch
// block. 0xFFFF when the entry lies outside the block.
uint16_t getIndexOffset(const SessionContext& ctx, uint32_t i);

// Absolute offset of leaf row i; 0 when its flag and lock bytes would not lie
// inside the block.
uint32_t getIndexRowStart(const SessionContext& ctx, uint32_t i);

// Fills the session column map with the key columns and then the non-key
// columns of leaf row `row`, stores the next piece address (0 when none) and,
// as the row flag, the non-key part's flag (0 when the row has none). The
// table number is not used: an index block holds one row set. Resets the map
// count itself.
void mapIndexColumns(SessionContext& ctx, int table, int row);

// Text output of every qualifying row of the leaf block in the session
// buffer; a branch block writes nothing.
void printIndexRow2(FILE* stream, SessionContext& ctx, int takeDeleted, int committedOnly);
// The same rows as export dump rows.
void dumpIndexRow2(FILE* stream, SessionContext& ctx, int takeDeleted, int committedOnly);

// The index header listing of the block dumps, one field a line.
void printIndexRowHeader(FILE* stream, const SessionContext& ctx);
