#include "dict/dict_build.h"

#include <strings.h>

#include <cstring>

#include "dict/dict_files.h"
#include "unload/unload_drivers.h"
#include "scan/extent_scan.h"

namespace {

// Where each dictionary table lives and which of its columns are printed.
// The four bootstrap tables carry the object id and table number of Oracle
// 8i and later SYSTEM tablespaces: USER$ in the cluster C_USER# (objd 10),
// OBJ$ a heap of its own (objd 18), TAB$ and COL$ in the cluster C_OBJ#
// (objd 2). The follow-on tables are found by name, so their defaults are 0.
constexpr uint8_t N = kColNumber;
constexpr uint8_t C = kColVarchar2;
constexpr uint8_t R = kColRaw;
constexpr DictTableProjection kProjections[] = {
    {"USER$", 10, 1, 2, {{0, N}, {1, C}}},
    {"OBJ$", 18, 0, 6, {{0, N}, {2, N}, {3, C}, {5, C}, {6, N}, {14, R}}},
    {"TAB$", 2, 1, 6, {{0, N}, {1, N}, {2, N}, {3, N}, {4, N}, {6, N}}},
    {"COL$", 2, 5, 13,
     {{0, N}, {1, N}, {2, N}, {5, C}, {6, N}, {7, N}, {9, N}, {10, N}, {11, N}, {14, N}, {15, N},
      {16, N}, {17, N}}},
    // IND$ lives in C_OBJ# too: position 0 is its cluster key BO#, so the
    // index's own OBJ# comes first in the line.
    {"IND$", 0, 0, 5, {{1, N}, {2, N}, {3, N}, {4, N}, {5, N}}},
    {"TABPART$", 0, 0, 5, {{0, N}, {1, N}, {6, N}, {7, N}, {8, N}}},
    {"INDPART$", 0, 0, 5, {{0, N}, {1, N}, {7, N}, {8, N}, {9, N}}},
    {"TABSUBPART$", 0, 0, 5, {{0, N}, {1, N}, {5, N}, {6, N}, {7, N}}},
    {"INDSUBPART$", 0, 0, 5, {{0, N}, {1, N}, {5, N}, {6, N}, {7, N}}},
    {"COLTYPE$", 0, 0, 7, {{0, N}, {1, N}, {2, N}, {3, R}, {4, N}, {5, N}, {10, N}}},
};

// The tables appended to ZUTTAB.TXT after the TAB$ rows, in this order.
constexpr const char* kTableFollowOns[] = {"IND$", "TABPART$", "INDPART$", "TABSUBPART$",
                                           "INDSUBPART$"};

// Rows of one segment: along the extent map of its header when the search
// finds one, else by reading every block of every file.
void unloadDictSegment(FILE* out, SessionContext& ctx, bool found, uint32_t objd, int table,
                       int deleted, int committed) {
  if (found)
    printExtentRows(out, ctx, objd, table, deleted, committed);
  else
    scanTableRows(out, ctx, objd, table, deleted, committed, 0, 0);
}

void printBootstrapTable(const char* name, FILE* out, SessionContext& ctx, int deleted,
                         int committed, uint16_t file, uint32_t objd, int table) {
  const DictTableProjection* p = findDictProjection(name);
  if (p == nullptr) return;
  const uint8_t savedStyle = ctx.outputStyle;
  ctx.outputStyle = 0;
  setDictProjection(ctx, *p);
  if (objd == 0) objd = p->defaultObjd;
  if (table == 0) table = p->defaultTable;
  const bool found = scanSegmentHeader(ctx, objd, file);
  unloadDictSegment(out, ctx, found, objd, table, deleted, committed);
  ctx.outputStyle = savedStyle;
}

// A dictionary output file, fully buffered through the shared buffer;
// nullptr when it cannot be opened.
FILE* openDictOutput(const char* path, const char* mode, char* buffer, size_t size) {
  FILE* f = fopen(path, mode);
  if (f != nullptr && buffer != nullptr) {
    memset(buffer, 0, size);
    setvbuf(f, buffer, _IOFBF, size);
  }
  return f;
}

void closeDictOutput(FILE* f) {
  if (f == stdout)
    fflush(stdout);
  else if (f != nullptr)
    fclose(f);
}

// Per-step preparation; returns the output style to restore afterwards.
uint8_t beginDictStep(SessionContext& ctx) {
  ctx.rowAddress = 0;
  ctx.rowsUnloaded = 0;
  const uint8_t style = ctx.outputStyle;
  ctx.outputStyle = 0;
  return style;
}

using BootstrapReader = void (*)(FILE*, SessionContext&, int, int, uint16_t, uint32_t, int);

// One bootstrap file: created anew and filled by its reader, or the rows on
// standard output when it cannot be created. Returns true when the file
// was written.
bool writeBootstrapFile(const char* path, BootstrapReader reader, SessionContext& ctx,
                        char* buffer, size_t size, const DictBuildRequest& r) {
  FILE* f = openDictOutput(path, "wb+", buffer, size);
  reader(f != nullptr ? f : stdout, ctx, r.deleted, r.committed, r.file, r.objd, r.table);
  closeDictOutput(f != nullptr ? f : stdout);
  return f != nullptr;
}

// A follow-on table into a file opened with mode; skipped when it is not in
// the dictionary files or the file cannot be opened.
void writeFollowOnTable(const char* name, const char* path, const char* mode, SessionContext& ctx,
                        char* buffer, size_t size, const DictBuildRequest& r) {
  const DictTableProjection* p = findDictProjection(name);
  if (p == nullptr) return;
  DictObjectEntry object;
  object.resolvedId = 0;
  DictTableEntry table;
  if (!getORASYSOBJ(object, 0, name, "") || !getORASYSTAB(table, object.objId)) return;
  FILE* f = openDictOutput(path, mode, buffer, size);
  if (f == nullptr) return;
  printDictFollowOnTable(f, ctx, *p, table, r.deleted, r.committed);
  closeDictOutput(f);
}

}  // namespace

const DictTableProjection* findDictProjection(const char* name) {
  for (const DictTableProjection& p : kProjections)
    if (strcasecmp(p.name, name) == 0) return &p;
  return nullptr;
}

void setDictProjection(SessionContext& ctx, const DictTableProjection& p) {
  memset(ctx.columnTypes, kColSkip, sizeof ctx.columnTypes);
  memset(ctx.columnCharsetId, 0, sizeof ctx.columnCharsetId);
  memset(ctx.columnCharsetForm, 0, sizeof ctx.columnCharsetForm);
  uint16_t highest = 0;
  for (int i = 0; i < p.count && i < kMaxProjectedColumns; i++) {
    const DictProjectedColumn& c = p.columns[i];
    if (c.position >= kMaxColumns) continue;
    ctx.columnTypes[c.position] = c.type;
    if (c.position + 1 > highest) highest = static_cast<uint16_t>(c.position + 1);
  }
  ctx.columnCount = highest;
}

void printSYSUSER8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                    uint32_t objd, int table) {
  printBootstrapTable("USER$", out, ctx, deleted, committed, file, objd, table);
}

void printSYSOBJ8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table) {
  printBootstrapTable("OBJ$", out, ctx, deleted, committed, file, objd, table);
}

void printSYSTAB8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table) {
  printBootstrapTable("TAB$", out, ctx, deleted, committed, file, objd, table);
}

void printSYSCOL8I(FILE* out, SessionContext& ctx, int deleted, int committed, uint16_t file,
                   uint32_t objd, int table) {
  printBootstrapTable("COL$", out, ctx, deleted, committed, file, objd, table);
}

void printDictFollowOnTable(FILE* out, SessionContext& ctx, const DictTableProjection& p,
                            const DictTableEntry& table, int deleted, int committed) {
  const uint8_t savedStyle = ctx.outputStyle;
  ctx.outputStyle = 0;
  setDictProjection(ctx, p);
  const bool found = scanSegmentHeader(out, ctx, table.dataObjId, table.file, table.block);
  unloadDictSegment(out, ctx, found, table.dataObjId, table.cluster, deleted, committed);
  ctx.outputStyle = savedStyle;
}

uint8_t dictBuildSteps(const char* target) {
  struct Prefix {
    const char* word;
    uint8_t steps;
  };
  static constexpr Prefix kPrefixes[] = {{"USER$", kBuildUsers},
                                         {"OBJ$", kBuildObjects},
                                         {"TAB$", kBuildTables},
                                         {"COL$", kBuildColumns},
                                         {"DICT$", kBuildAll}};
  for (const Prefix& p : kPrefixes)
    if (strncasecmp(target, p.word, strlen(p.word)) == 0) return p.steps;
  return 0;
}

void buildDictionary(SessionContext& ctx, char* buffer, size_t size,
                     const DictBuildRequest& r) {
  const uint8_t steps = dictBuildSteps(r.target);
  ctx.rowLimit = kNoRowLimit;
  ctx.rowOutputMode = 0;
  // The dictionary files are plain comma-separated lines: no column-number
  // prefixes, no row addresses, the fixed separators.
  ctx.indexNumber = 0;
  setDefaultUnloadTags(ctx);
  ctx.rowAddress = 0;

  if (steps & kBuildUsers) {
    const uint8_t style = beginDictStep(ctx);
    writeBootstrapFile(kDictUserFile, printSYSUSER8I, ctx, buffer, size, r);
    ctx.outputStyle = style;
  }
  if (steps & kBuildObjects) {
    const uint8_t style = beginDictStep(ctx);
    writeBootstrapFile(kDictObjectFile, printSYSOBJ8I, ctx, buffer, size, r);
    ctx.outputStyle = style;
  }
  if (steps & kBuildTables) {
    const uint8_t style = beginDictStep(ctx);
    memset(ctx.columnTypes, kColSkip, sizeof ctx.columnTypes);
    writeBootstrapFile(kDictTableFile, printSYSTAB8I, ctx, buffer, size, r);
    for (const char* name : kTableFollowOns)
      writeFollowOnTable(name, kDictTableFile, "ab+", ctx, buffer, size, r);
    ctx.outputStyle = style;
  }
  if (steps & kBuildColumns) {
    const uint8_t style = beginDictStep(ctx);
    if (writeBootstrapFile(kDictColumnFile, printSYSCOL8I, ctx, buffer, size, r))
      hashDictColumnMap();
    writeFollowOnTable("COLTYPE$", kDictColumnTypeFile, "wb+", ctx, buffer, size, r);
    ctx.outputStyle = style;
  }
}
