// Basic table compression: a compressed data block (data header flag 0x40)
// keeps a symbol table of repeated values as table 0 and its rows as table 1,
// whose column units are inline values or references to symbol rows. The
// mapper here expands such a row into the same column map that
// mapNormalColumns builds, so the row writers need no other change.
//
// All 2-byte values inside compressed rows are big-endian whatever the byte
// order; the header extension is read in the session byte order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/session_context.h"

// Header extension, offsets from D.
constexpr size_t kCompressMecRowsOffset = 16;     // multi-column symbol rows M
constexpr size_t kCompressLengthCountOffset = 19;  // NL
constexpr size_t kCompressOrderCountOffset = 20;   // NO
constexpr size_t kCompressLengthTableOffset = 22;  // NL signed 16-bit entries, then NO order bytes
constexpr size_t kCompressExtensionBase = 8;

// Column units, by their first byte.
constexpr uint8_t kUnitMaxSymbol = 200;       // 0 … 200: reference to that symbol row
constexpr uint8_t kUnitInlineBase = 200;      // 201 … 249: u − 200 bytes (or a run)
constexpr uint8_t kUnitMaxInline = 249;
constexpr uint8_t kUnitLongInline = 250;      // 2-byte length, then the data
constexpr uint8_t kUnitLongSymbol = 251;      // 2-byte symbol row number
constexpr uint8_t kUnitFirstNull = 252;       // 252 … 255: NULL

// Nested symbol references are followed this deep; a reference that cannot
// be followed (too deep, or to a row that is not there) becomes NULL columns.
constexpr int kMaxSymbolDepth = 16;
// Units decoded for one row, nested ones included: a block whose symbol rows
// reference each other in circles costs at most this much per row.
constexpr uint32_t kMaxUnitsPerRow = 1024;

// X, the length of the header extension, for a compressed block; 0 for any
// other block.
uint32_t isCompressTable(const SessionContext& ctx);
uint32_t getCompressOffset(const SessionContext& ctx);
// M: symbol rows below it may hold several columns, the others one.
uint16_t getCompressMecRows(const SessionContext& ctx);
// Loads NL, the column length table, NO and the column order of the block in
// the session buffer (both counts 0 for an uncompressed block).
void getCompressOrder(SessionContext& ctx);
// Appends the columns of row r of table t (0: a symbol row) to the column
// map; for a data row also stores its flag, head and next piece addresses.
// The caller sets mappedCount to 0 first.
void mapCompressColumns(SessionContext& ctx, int table, int row);
// Map entry that output column i of a compressed row uses, through the column
// order; a NULL column when the order points past the map.
MappedColumn getCompressColumn(const SessionContext& ctx, int i);
