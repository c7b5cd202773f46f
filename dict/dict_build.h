// Building the dictionary files from the SYSTEM tablespace: the bootstrap
// readers of USER$, OBJ$, TAB$ and COL$, which know where their tables live,
// and the follow-on tables (IND$, the partition tables, COLTYPE$), which are
// found through the files the readers have just written.
//
// Every reader prints only the columns the dictionary files keep, through
// the segment unload drivers: along the extent map of the segment header
// when one is found, otherwise by scanning every block of every data file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"
#include "dict/dict_files.h"

// One column a dictionary table prints: its position in the row as the row
// printer numbers it (in a cluster, position 0 is the cluster key) and the
// type code it is printed with.
struct DictProjectedColumn {
  uint16_t position = 0;
  uint8_t type = kColSkip;
};

constexpr int kMaxProjectedColumns = 13;

// A dictionary table: where it lives (defaults of the bootstrap readers; the
// follow-on tables are found by name) and what is printed of it.
struct DictTableProjection {
  const char* name;
  uint32_t defaultObjd;
  uint8_t defaultTable;
  uint8_t count;
  DictProjectedColumn columns[kMaxProjectedColumns];
};

// The projection of a dictionary table by its Oracle name ("USER$", "OBJ$",
// "TAB$", "COL$", "IND$", "TABPART$", "INDPART$", "TABSUBPART$",
// "INDSUBPART$", "COLTYPE$", "UNDO$", "RECYCLEBIN$"); nullptr for any other
// name.
const DictTableProjection* findDictProjection(const char* name);

// Clears all column types of the session and sets the projected ones.
void setDictProjection(SessionContext& ctx, const DictTableProjection& p);

// The bootstrap readers. file restricts the segment header search (0: any
// file), objd 0 and table 0 take the defaults. The output style is text for
// the duration and restored afterwards.
void printSYSUSER8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                    uint32_t objd, int table);
void printSYSOBJ8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table);
void printSYSTAB8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table);
void printSYSCOL8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table);

// Prints the rows of a follow-on table located by its table entry (its
// segment header file# and block#, its dataobj# and its table number) with
// the projection p; the output style is text for the duration.
void printDictFollowOnTable(FILE* out, SessionContext& ctx, const DictTableProjection& p,
                            const DictTableEntry& table, int deleted, int committed);

// What UNLOAD TABLE <target> builds, from the target's prefix (any case).
enum DictBuildSteps : uint8_t {
  kBuildUsers = 1,
  kBuildObjects = 2,
  kBuildTables = 4,
  kBuildColumns = 8,
  kBuildAll = 15,
};
// 0 when the target is not a dictionary table.
uint8_t dictBuildSteps(const char* target);

// Arguments of one dictionary build.
struct DictBuildRequest {
  const char* target = "";
  int deleted = 0;
  int committed = 0;
  uint16_t file = 0;  // FILE: restricts the bootstrap segment header search
  uint32_t objd = 0;  // OBJECT: 0 for each reader's default
  int table = 0;      // CLUSTER: 0 for each reader's default
};

// UNLOAD TABLE USER$ / OBJ$ / TAB$ / COL$ / DICT$: writes the dictionary
// files under ZUTDICT in the order users, objects, tables (with the
// follow-on tables appended), columns (with the bucket files and
// ZUTTYP.TXT). Each file is written under a temporary name, fully buffered
// through outputBuffer (outputBufferSize bytes; null lets stdio choose), and
// put in place of the old one only when its table gave at least one row
// (ZUTTYP.TXT: when COL$ did) and every write succeeded; otherwise the old file stays, after "No rows of
// <table> found; <file> left as it was." or "  Write error on <file>:
// <reason>". A file that cannot be created sends the rows of a bootstrap
// reader to standard output and skips a follow-on table. The row limit is
// lifted, ROW_ADDRESS is left 0, the output style is text during each step
// and restored after it. Fields are separated by "," and rows end with a
// line feed whatever the session's tags were; the tags are left that way.
// Returns false when any file of the build was not put in place.
bool buildDictionary(SessionContext& ctx, char* outputBuffer, size_t outputBufferSize,
                     const DictBuildRequest& request);
