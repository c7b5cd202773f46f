// Known table layouts for naming a sampled segment: LOAD TABLE fills a list
// of tables (their column types mapped to the categories the guesser can
// tell apart), and findGuessTable picks the entry whose columns best agree
// with a segment's guessed column types.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"
#include "values/guess_field.h"

constexpr int kGuessNameSize = 64;
constexpr int kMaxGuessTables = 16384;

struct GuessTableEntry {
  char owner[kGuessNameSize] = {};
  char table[kGuessNameSize] = {};
  uint16_t columnCount = 0;   // highest segcol#
  uint16_t lastNotNull = 0;   // highest segcol# of a NOT NULL column
  uint8_t types[kMaxColumns] = {};  // guess category by segcol# − 1
};

struct GuessedTableList {
  uint16_t count = 0;
  GuessTableEntry* entries[kMaxGuessTables] = {};
};

// Names (cut to 63 characters), no columns, every type RAW (23).
void initGuessTableEntry(GuessTableEntry& entry, const char* owner, const char* table);
// The guess category of a dictionary type#: character types 9, the types
// the guesser tells apart as themselves, anything else RAW (23).
uint8_t mapGuessType(uint8_t dictType);
// Records one column; segcol# outside 1 … 1024 is ignored.
void addGuessTableColumn(GuessTableEntry& entry, uint32_t segColId, uint8_t dictType,
                         uint32_t nullable);
// Replaces the entry of the same owner and table, else appends a copy while
// the list has room. Returns 1 when stored, 0 when the list is full.
int addGuessTable(GuessedTableList& list, const GuessTableEntry& entry);
void freeGuessedTables(GuessedTableList& list);

// LOAD TABLE: every table of the user (whole tables, not partitions) from the
// dictionary files, in file order, with its columns, into the list; prints a
// line for each table stored, or one saying the user is unknown.
void loadGuessTable(const char* userName, GuessedTableList& list);

// How well a table's columns (guess categories by segcol# − 1, its column
// count and its highest NOT NULL segcol#) agree with a segment's guessed
// types: the sampled columns whose type matches, and the score in percent,
// matches over the larger of the columns that had values and the table's
// column count (so a table with columns the segment never showed scores
// lower). matches is -1 when the table cannot be the segment's: it has
// fewer columns than the sample, a NOT NULL column past the sampled ones,
// or a column the guess is too sure of to tolerate as it is.
struct GuessScore {
  int matches = -1;
  int score = 0;
};
GuessScore scoreGuessColumns(const ColumnStats& stats, const uint8_t* types, uint16_t columnCount,
                             uint16_t lastNotNull);

// Prints "## Guess : ..." and "## UNLOAD TABLE ..." for the best matching
// entry (standard output when out is null). Returns 1 when a match was
// printed, else 0.
int findGuessTable(FILE* out, const ColumnStats& stats, const GuessedTableList& list);

// The session's guess state and guessed-table list, made once by the
// interpreter and released when it ends.
void allocGuessState(SessionContext& ctx);
void freeGuessState(SessionContext& ctx);
