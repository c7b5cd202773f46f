// Basic table compression: a compressed data block (data header flag 0x40)
// keeps a symbol table of repeated values as table 0 and its rows as table 1,
// whose column units are inline values or references to symbol rows. The
// mapper here expands such a row into the same column map that
// mapNormalColumns builds, so the row writers need no other change.
//
// The header extension and the unit encoding are in format/data_layout.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/session_context.h"
#include "format/data_layout.h"

// Nested symbol references are followed this deep; a reference that cannot
// be followed (too deep, or to a row that is not there) becomes NULL columns.
constexpr int kMaxSymbolDepth = 16;
// Units decoded for one row, nested ones included: a block whose symbol rows
// reference each other in circles costs at most this much per row.
constexpr uint32_t kMaxUnitsPerRow = 1024;

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
