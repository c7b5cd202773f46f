#include "dict/guess_table.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/file_name.h"
#include "dict/dict_files.h"

namespace {

void copyName(char* dst, const char* src) {
  memset(dst, 0, kGuessNameSize);
  if (src == nullptr) return;
  strncpy(dst, src, kGuessNameSize - 1);
}

bool isLobGuess(uint8_t type) { return type == kColClob || type == kColBlob; }

bool isDateGuess(uint8_t type) {
  return type == kColDate || type == kColTimestamp || type == kColTimestampTZ;
}

// A mismatch the guess is too sure of to tolerate: a LOB locator where the
// table has no LOB, same-length date values, or varying-length numbers.
bool rejectsEntry(uint8_t guess, uint8_t flags, uint8_t entryType) {
  if (isLobGuess(guess) && !isLobGuess(entryType)) return true;
  if (!(flags & kGuessLengthVaries) && isDateGuess(guess)) return true;
  return (flags & kGuessLengthVaries) && guess == kColNumber;
}

// Matching columns of the entry, or -1 when a column rejects it.
int countMatches(const ColumnStats& stats, int columns, const uint8_t* types) {
  int matches = 0;
  for (int i = 0; i < columns; i++) {
    if (stats.count[i] == 0) continue;
    if (stats.type[i] == types[i]) {
      matches++;
    } else if (stats.count[i] > 2 && rejectsEntry(stats.type[i], stats.flags[i], types[i])) {
      return -1;
    }
  }
  return matches;
}

}  // namespace

void initGuessTableEntry(GuessTableEntry& entry, const char* owner, const char* table) {
  copyName(entry.owner, owner);
  copyName(entry.table, table);
  entry.columnCount = 0;
  entry.lastNotNull = 0;
  memset(entry.types, kColRaw, sizeof entry.types);
}

uint8_t mapGuessType(uint8_t dictType) {
  switch (dictType) {
    case kColVarchar2:
    case kColLong:
    case kColVarchar:
    case kColChar: return kColVarchar;
    case kColNumber:
    case kColDate:
    case kColBinaryFloat:
    case kColBinaryDouble:
    case kColClob:
    case kColBlob:
    case kColTimestamp:
    case kColTimestampTZ: return dictType;
    case kColTimestampLTZ: return kColTimestampTZ;
    default: return kColRaw;
  }
}

void addGuessTableColumn(GuessTableEntry& entry, uint32_t segColId, uint8_t dictType,
                         uint32_t nullable) {
  if (segColId < 1 || segColId > static_cast<uint32_t>(kMaxColumns)) return;
  const uint16_t col = static_cast<uint16_t>(segColId);
  if (col > entry.columnCount) entry.columnCount = col;
  if (nullable != 0 && col > entry.lastNotNull) entry.lastNotNull = col;
  entry.types[col - 1] = mapGuessType(dictType);
}

int addGuessTable(GuessedTableList& list, const GuessTableEntry& entry) {
  const int n = list.count < kMaxGuessTables ? list.count : kMaxGuessTables;
  for (int i = 0; i < n; i++) {
    GuessTableEntry* e = list.entries[i];
    if (e != nullptr && memcmp(e->owner, entry.owner, kGuessNameSize) == 0 &&
        memcmp(e->table, entry.table, kGuessNameSize) == 0) {
      *e = entry;
      return 1;
    }
  }
  if (n >= kMaxGuessTables) return 0;
  list.entries[n] = new GuessTableEntry(entry);
  list.count = static_cast<uint16_t>(n + 1);
  return 1;
}

void freeGuessedTables(GuessedTableList& list) {
  for (int i = 0; i < list.count && i < kMaxGuessTables; i++) {
    delete list.entries[i];
    list.entries[i] = nullptr;
  }
  list.count = 0;
}

GuessScore scoreGuessColumns(const ColumnStats& stats, const uint8_t* types, uint16_t columnCount,
                             uint16_t lastNotNull) {
  GuessScore s;
  const int n = stats.columnCount < kMaxColumns ? stats.columnCount : kMaxColumns;
  int withValues = 0;
  for (int i = 0; i < n; i++) withValues += stats.count[i] != 0;
  if (n == 0 || withValues == 0 || columnCount < n || n < lastNotNull) return s;
  const int matches = countMatches(stats, n, types);
  if (matches < 0) return s;
  s.matches = matches;
  s.score = matches * 100 / std::max<int>(withValues, columnCount);
  return s;
}

int findGuessTable(FILE* out, const ColumnStats& stats, const GuessedTableList& list) {
  if (out == nullptr) out = stdout;
  const int n = stats.columnCount < kMaxColumns ? stats.columnCount : kMaxColumns;
  int withValues = 0;
  for (int i = 0; i < n; i++) withValues += stats.count[i] != 0;
  const int tables = list.count < kMaxGuessTables ? list.count : kMaxGuessTables;
  if (n == 0 || withValues == 0 || tables == 0) return 0;

  const GuessTableEntry* best = nullptr;
  int bestMatches = 0;
  for (int t = 0; t < tables; t++) {
    const GuessTableEntry* e = list.entries[t];
    if (e == nullptr || e->columnCount < n) continue;
    const int matches = countMatches(stats, n, e->types);
    if (matches < 1 || n < e->lastNotNull) continue;
    if (best == nullptr || matches > bestMatches ||
        (matches == bestMatches && e->columnCount < best->columnCount)) {
      best = e;
      bestMatches = matches;
    }
  }
  if (best == nullptr || bestMatches <= withValues / 2) return 0;
  fprintf(out, "## Guess : %s.%s , Match Count = %d/%d, Score = %d%%\n", best->owner, best->table,
          bestMatches, best->columnCount, bestMatches * 100 / withValues);
  fprintf(out, "## UNLOAD TABLE %s.%s OBJECT %u TO %s_%u.TXT;\n", best->owner, best->table,
          stats.objd, safeFileName(best->table).c_str(), stats.objd);
  return 1;
}

void allocGuessState(SessionContext& ctx) {
  if (ctx.columnStats == nullptr) {
    ctx.columnStats = new ColumnStats;
    resetColumnStats(*ctx.columnStats);
  }
  if (ctx.guessedTables == nullptr) ctx.guessedTables = new GuessedTableList;
}

void freeGuessState(SessionContext& ctx) {
  delete ctx.columnStats;
  ctx.columnStats = nullptr;
  if (ctx.guessedTables != nullptr) freeGuessedTables(*ctx.guessedTables);
  delete ctx.guessedTables;
  ctx.guessedTables = nullptr;
}

namespace {

// Fills the entry's columns from the column lines of obj#: its column bucket
// file, or the whole column file when the buckets were never made.
void getGuessTable(uint32_t objId, GuessTableEntry& entry) {
  char path[64];
  getColumnBucketName(path, sizeof path, objId);
  DictColumnEntry column;
  auto add = [&](const DictColumnEntry& c) {
    if (c.objId == objId) addGuessTableColumn(entry, c.segColId, c.type, c.nullable);
    return true;
  };
  if (!forEachDictRecord(path, parseORASYSCOL, column, add))
    forEachDictRecord(kDictColumnFile, parseORASYSCOL, column, add);
}

}  // namespace

void loadGuessTable(const char* userName, GuessedTableList& list) {
  DictUserEntry user;
  if (!getORASYSUSER(user, userName)) {
    printf("User (%s) does not exists.\n", userName);
    return;
  }
  DictObjectEntry object;
  std::unique_ptr<GuessTableEntry> entry(new GuessTableEntry);
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, object, [&](const DictObjectEntry& o) {
    if (o.ownerId != user.userId || o.type != kObjTable || o.subname[0] != 0) return true;
    initGuessTableEntry(*entry, user.name, o.name);
    getGuessTable(o.objId, *entry);
    // A full list takes no more tables; only stored tables are reported.
    if (addGuessTable(list, *entry)) printf(" Loaded Guess Table %s.%s\n", user.name, o.name);
    return true;
  });
}
