#include "dict/dict_build.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dict/dict_files.h"
#include "dict/dict_output.h"
#include "rows/undo_verdict.h"
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
    // UNDO$: US#, FILE#, BLOCK#, STATUS$, TS#; where each undo segment
    // header lies, for committed-only unloads.
    {"UNDO$", 15, 0, 5, {{0, N}, {3, N}, {4, N}, {10, N}, {11, N}}},
    // RECYCLEBIN$: OBJ#, OWNER#, ORIGINAL_NAME, OPERATION, TYPE#; the name a
    // BIN$ object had before DROP, for LIST TABLE and DESC.
    {"RECYCLEBIN$", 0, 0, 5, {{0, N}, {1, N}, {2, C}, {3, N}, {4, N}}},
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

// Per-step preparation; returns the output style to restore afterwards.
uint8_t beginDictStep(SessionContext& ctx) {
  ctx.rowAddress = 0;
  ctx.rowsUnloaded = 0;
  const uint8_t style = ctx.outputStyle;
  ctx.outputStyle = 0;
  return style;
}

using BootstrapReader = void (*)(FILE*, SessionContext&, int, int, uint16_t, uint32_t, int);

// The rows of one bootstrap table into the replacement of its file, or on
// standard output when the replacement cannot be created. True when the
// replacement holds at least one row and every write to it so far
// succeeded; otherwise the old file stays as it was, after a message saying
// why.
bool fillBootstrapFile(DictFileReplacement& file, const char* table, BootstrapReader reader,
                       SessionContext& ctx, char* buffer, size_t size,
                       const DictBuildRequest& r) {
  const bool opened = file.open(ctx, buffer, size);
  ctx.rowsUnloaded = 0;
  reader(opened ? file.stream() : stdout, ctx, r.deleted, r.committed, r.file, r.objd, r.table);
  if (!opened) fflush(stdout);
  if (ctx.rowsUnloaded == 0) {
    file.discard();
    printf("No rows of %s found; %s left as it was.\n", table, file.path());
    return false;
  }
  return opened && file.flush();
}

// Where a follow-on table lives, from the object file and the table file at
// tablePath; false when either does not know it.
bool findFollowOnTable(const char* name, const char* tablePath, DictTableEntry& table) {
  DictObjectEntry object;
  object.resolvedId = 0;
  return getORASYSOBJ(object, 0, name, "") && getORASYSTAB(table, object.objId, tablePath);
}

// The rows of a follow-on table appended to out; skipped when the table is
// not in the dictionary files.
void printFollowOnTable(const char* name, const char* tablePath, FILE* out, SessionContext& ctx,
                        const DictBuildRequest& r) {
  const DictTableProjection* p = findDictProjection(name);
  DictTableEntry table;
  if (p == nullptr || !findFollowOnTable(name, tablePath, table)) return;
  printDictFollowOnTable(out, ctx, *p, table, r.deleted, r.committed);
}

bool buildUsersOrObjects(const char* table, const char* path, BootstrapReader reader,
                         SessionContext& ctx, char* buffer, size_t size,
                         const DictBuildRequest& r) {
  DictFileReplacement file(path);
  return fillBootstrapFile(file, table, reader, ctx, buffer, size, r) && file.commit();
}

// One UNDO$ line as the row printer wrote it ("us#,file#,block#,status$,ts#,")
// in the order of the undo segment list: us#, file#, block#, ts#, status$.
// Lines of another shape are kept as they are.
std::string undoListLine(const std::string& line) {
  size_t comma[5];
  size_t at = 0;
  for (size_t& c : comma) {
    c = line.find(',', at);
    if (c == std::string::npos) return line;
    at = c + 1;
  }
  return line.substr(0, comma[2] + 1) + line.substr(comma[3] + 1, comma[4] - comma[3]) +
         line.substr(comma[2] + 1, comma[3] - comma[2]) + line.substr(comma[4] + 1);
}

// A follow-on table into a file of its own (UNDO$: the undo segment list;
// RECYCLEBIN$: the recycle bin; COLTYPE$), found through the new object and
// table files; the file is left as it was when the table is not in them (a
// RECYCLEBIN$ before 10g) or cannot be created. With rewriteLine, each line
// is rewritten by it: the table is printed into memory first, which suits
// only small tables such as UNDO$.
bool buildFollowOnFile(const char* name, const char* path, SessionContext& ctx, char* buffer,
                       size_t size, const DictBuildRequest& r,
                       std::string (*rewriteLine)(const std::string&) = nullptr) {
  const DictTableProjection* p = findDictProjection(name);
  DictTableEntry table;
  if (p == nullptr || !findFollowOnTable(name, kDictTableFile, table)) return true;
  std::string text;
  if (rewriteLine != nullptr) {
    char* rows = nullptr;
    size_t length = 0;
    FILE* memory = open_memstream(&rows, &length);
    if (memory == nullptr) return false;
    printDictFollowOnTable(memory, ctx, *p, table, r.deleted, r.committed);
    const bool printed = fclose(memory) == 0;
    if (printed && rows != nullptr) text.assign(rows, length);
    free(rows);
    if (!printed) return false;
  }
  DictFileReplacement file(path);
  if (!file.open(ctx, buffer, size)) return true;
  if (rewriteLine == nullptr) {
    printDictFollowOnTable(file.stream(), ctx, *p, table, r.deleted, r.committed);
    return file.commit();
  }
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find('\n', from);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = rewriteLine(text.substr(from, end - from));
    fwrite(line.data(), 1, line.size(), file.stream());
    from = end;
  }
  return file.commit();
}

// TAB$ with the follow-on tables appended. They are found through the new
// TAB$ rows, so each is looked up in the replacement as written so far.
bool buildTables(SessionContext& ctx, char* buffer, size_t size, const DictBuildRequest& r) {
  DictFileReplacement file(kDictTableFile);
  if (!fillBootstrapFile(file, "TAB$", printSYSTAB8I, ctx, buffer, size, r)) return false;
  for (const char* name : kTableFollowOns) {
    printFollowOnTable(name, file.tempPath(), file.stream(), ctx, r);
    if (!file.flush()) return false;
  }
  return file.commit() &&
         buildFollowOnFile("UNDO$", kUndoSegmentListPath, ctx, buffer, size, r, undoListLine) &&
         buildFollowOnFile("RECYCLEBIN$", kDictRecycleBinFile, ctx, buffer, size, r);
}

// COL$ with its bucket files, then COLTYPE$ into its own file. COLTYPE$
// belongs to the group: it is read only once COL$ gave rows, and then an
// empty COLTYPE$ is the truth (a database without object columns).
bool buildColumns(SessionContext& ctx, char* buffer, size_t size, const DictBuildRequest& r) {
  {
    DictFileReplacement file(kDictColumnFile);
    if (!fillBootstrapFile(file, "COL$", printSYSCOL8I, ctx, buffer, size, r) || !file.close() ||
        !hashDictColumnMap(ctx, file.tempPath()) || !file.commit())
      return false;
  }
  return buildFollowOnFile("COLTYPE$", kDictColumnTypeFile, ctx, buffer, size, r);
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

bool buildDictionary(SessionContext& ctx, char* buffer, size_t size,
                     const DictBuildRequest& r) {
  const uint8_t steps = dictBuildSteps(r.target);
  ctx.rowLimit = kNoRowLimit;
  ctx.rowOutputMode = 0;
  // The dictionary files are plain comma-separated lines: no column-number
  // prefixes, no row addresses, the fixed separators.
  ctx.indexNumber = 0;
  setDefaultUnloadTags(ctx);
  ctx.rowAddress = 0;

  bool ok = true;
  if (steps & kBuildUsers) {
    const uint8_t style = beginDictStep(ctx);
    ok = buildUsersOrObjects("USER$", kDictUserFile, printSYSUSER8I, ctx, buffer, size, r) && ok;
    ctx.outputStyle = style;
  }
  if (steps & kBuildObjects) {
    const uint8_t style = beginDictStep(ctx);
    ok = buildUsersOrObjects("OBJ$", kDictObjectFile, printSYSOBJ8I, ctx, buffer, size, r) && ok;
    ctx.outputStyle = style;
  }
  if (steps & kBuildTables) {
    const uint8_t style = beginDictStep(ctx);
    memset(ctx.columnTypes, kColSkip, sizeof ctx.columnTypes);
    ok = buildTables(ctx, buffer, size, r) && ok;
    ctx.outputStyle = style;
  }
  if (steps & kBuildColumns) {
    const uint8_t style = beginDictStep(ctx);
    ok = buildColumns(ctx, buffer, size, r) && ok;
    ctx.outputStyle = style;
  }
  return ok;
}
