// Rows as delimited text: the columns of a mapped piece written with
// FIELD_TAG between them and RECORD_TAG after each row (or handed to the type
// guesser while sampling), and the text form of the data block walk.
#pragma once

#include <cstdio>

#include "core/session_context.h"
#include "rows/row_walk.h"

// Shows the first values of a column of unknown type (mapped at m) on
// standard output, a few times per column and unload.
void warnUnknownType(SessionContext& ctx, int column, int table, int row, const MappedColumn& m);

// Writes the mapped columns of a piece, starting at table column
// firstColumn: column-number prefixes, unknown-type warnings, values (or,
// when the row output mode is not 0, the type guesser) and FIELD_TAG between
// them; in a compressed block the map is read in its column order. The tags
// that end the piece are the caller's. Returns firstColumn + the columns.
int printMappedColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                       bool compressed);

// Maps and writes one row piece; returns the table column index at which the
// next piece of the row starts.
int printDataRow2(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn);

// Text output of every qualifying row of one table of the block in the
// session buffer.
void printDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                    int committedOnly);

// Text form of closing a row early: RECORD_TAG (row output mode 0 only).
void endTextRow(FILE* stream, SessionContext& ctx, int nextColumn);
