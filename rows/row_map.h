// The session column map of one row piece: where each column of the piece
// lies in the block buffer, filled by the mappers of uncompressed rows (here),
// compressed rows (rows/compress.h) and index rows (rows/index_rows.h), and
// read by the text and dump row writers.
//
// A block is hostile input: every offset, length, count and address it holds
// is checked against the block before use. A bad column ends the mapping of
// its piece, keeping the columns before it.
#pragma once

#include <cstdint>

#include "core/session_context.h"
#include "format/data_layout.h"

// Appends one column to the session column map; false when the map is full.
bool appendMappedColumn(SessionContext& ctx, uint32_t offset, uint32_t length);
// Makes NULL (offset S − 2, length 0) every mapped column that reaches S − 1.
void clampMappedColumns(SessionContext& ctx);

// Fills the session column map with the columns of one row piece of an
// uncompressed block (a cluster member's key columns first), and stores the
// piece's flag and addresses. The caller sets mappedCount to 0 first.
void mapNormalColumns(SessionContext& ctx, int table, int row);

