// The field-by-field dump of one block (ORADUMP) and its pieces: the ITL
// table, the data header with its tables and rows, the index rows, and the
// segment header or extent map block. Undo blocks and headers are printed by
// dump/undo_dump.h.
//
// Every field is read from the session block buffer through the layout
// accessors of format/; a count read from the block (tables, row slots,
// index rows, ITL entries, extents) is cut to what lies inside the block,
// and a line says so.
#pragma once

#include <cstdio>

#include "core/session_context.h"

// The whole dump of the block in the session buffer, by block type. The
// column map of the session is used for the rows it prints.
void printHeader(FILE* out, SessionContext& ctx);
// The ITL heading, and for a data block one line per ITL entry.
void printITL(FILE* out, const SessionContext& ctx);
// The data header, the table directory and every row slot with its columns.
void printRowHeader(FILE* out, SessionContext& ctx);
// The index header and the index rows (leaf rows with their columns).
void printIndexRows(FILE* out, SessionContext& ctx);
// A segment header (16, 17, 35) or extent map block (18, 36): its counts,
// high-water mark, next map and the extents stored in this block.
void printSegmentHeader(FILE* out, const SessionContext& ctx);
