// The words of UNLOAD: keywords, their values, the COLUMN type words and the
// LOB index locations, gathered into one record per command.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/command_reader.h"
#include "core/session_context.h"
#include "dict/dict_files.h"

// Longest values kept (characters, without the terminator). Longer words are
// refused with a message instead of being cut into a different name.
constexpr size_t kMaxTableArgument = 1023;
constexpr size_t kMaxOutputName = 1023;
constexpr size_t kMaxPartitionName = 63;
constexpr size_t kMaxExtentListName = 127;
constexpr size_t kMaxAsName = 1023;
constexpr uint64_t kMinRowLimit = 10;
constexpr const char* kDefaultExtentList = "ZUTDICT/ZUTEXT.TXT";

// Most worker processes of one unload (PARALLEL, SET PARALLEL).
constexpr int kMaxParallel = 64;

struct UnloadArgs {
  char table[kMaxTableArgument + 1] = {};
  uint32_t objd = 0;
  uint8_t cluster = 0;
  bool clusterGiven = false;
  uint16_t columnWords = 0;  // COLUMN words kept (at most 1024)
  char fileName[kMaxOutputName + 1] = {};
  uint16_t file = 0;
  uint32_t block = 0;
  char partition[kMaxPartitionName + 1] = {};
  char extentList[kMaxExtentListName + 1] = {};
  char asName[kMaxAsName + 1] = {};
  int parallel = -1;  // PARALLEL n for this command; -1: SET PARALLEL holds
  // TRUNCATED: the table's previous data objects (orphans of the extent
  // list whose best match is the table, or OBJECT n) instead of its segment.
  bool truncated = false;
  // LIKE owner.table: UNLOAD OBJECT takes that table's column types.
  char like[kMaxTableArgument + 1] = {};
  char user[kMaxOwnerName + 1] = {};  // USER: the owner whose tables to unload, or "*"
  // Set by UNLOAD USER for each table: the output's path without its
  // extension. The scripts are then written as <stem>_syntax.sql and
  // <stem>_sqlldr.ctl, and an output that cannot be created fails the table
  // instead of sending its rows to the screen.
  char fileStem[kMaxOutputName + 1] = {};
};

// Reads the words after UNLOAD. COLUMN, LOB, CHUNK, LIMIT and INDEX go
// straight into the session (column types, LOB index arrays, chunk count,
// row limit, index number); the rest into args, which starts cleared with the
// default extent list. Returns 0, or 1 when a word was too long for its
// value: a line naming it has been written and nothing should be done.
int parseUnloadArgs(CommandBuffer& cmd, SessionContext& ctx, UnloadArgs& args);

// Type code of one COLUMN word: the first entry of the type word table whose
// characters begin the word (any case); 253 when none does.
uint8_t getColumnTypeCode(const char* word, size_t length);

// "colid.fid.blockid": sets the LOB index location of stored column colid
// (from 1) when all three numbers are there and non-zero. Returns 1 when set.
int parselobparams(SessionContext& ctx, const char* value);

// True when the table argument names a dictionary table (USER$, OBJ$, COL$,
// TAB$ or DICT$ at its start, any case).
bool isDictionaryTable(const char* table);
