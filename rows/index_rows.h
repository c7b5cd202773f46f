// Rows of index blocks (block type 6, transaction-layer type 2): the leaf
// rows of index-organized tables with their optional non-key part and
// overflow chain, mapped into the session column map and written as
// delimited text or as export dump rows. The layout is format/index_layout.h.
//
// A block is hostile input: counts, offsets and lengths are checked against
// the block; mapping stops, keeping what it has, where a column would leave
// the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/session_context.h"
#include "format/index_layout.h"

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
