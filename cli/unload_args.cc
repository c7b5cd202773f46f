#include "cli/unload_args.h"

#include "cli/arguments.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// The keywords, and their keys in the same order from 1.
constexpr std::initializer_list<const char*> kUnloadWords = {
    "TABLE", "OBJECT", "CLUSTER", "COLUMN", "TO", "FILE", "BLOCK",
    "PARTITION", "CHUNK", "LOB", "EXTENT", "AS", "LIMIT", "INDEX", "PARALLEL",
    "TRUNCATED", "LIKE", "USER"};
enum class Key { None, Table, Object, Cluster, Column, To, File, Block, Partition, Chunk, Lob,
                 Extent, As, Limit, Index, Parallel, Truncated, Like, User };

struct TypeWord {
  const char* prefix;
  uint8_t code;
};

// Compared in this order on the characters of each entry, so CHAR wins over
// NCHA for "CHARX" and TIMESTAMP_TZ over TIMESTAMP.
constexpr TypeWord kTypeWords[] = {
    {"CHAR", kColChar},          {"NCHA", kColNChar},
    {"NCLOB", kColNClob},        {"VARCHAR2", kColVarchar2},
    {"VARCHAR", kColVarchar},    {"LONGRAW", kColLongRaw},
    {"LONG", kColLong},          {"RAW", kColRaw},
    {"NUMBER", kColNumber},      {"DATE", kColDate},
    {"TIMESTAMP_TZ", kColTimestampTZ}, {"TIMESTAMP_LTZ", kColTimestampLTZ},
    {"TIMESTAMP", kColTimestamp}, {"BINARY_FLOAT", kColBinaryFloat},
    {"BINARY_DOUBLE", kColBinaryDouble}, {"SKIP", kColSkip},
    {"BLOB", kColBlob},          {"CLOB", kColClob},
    {"VARRAY", kColVArray},      {"NARRAY", kColNArray},
    {"INTERVAL_YM", kColIntervalYM}, {"INTERVAL_DS", kColIntervalDS},
};

bool copyValue(const CommandBuffer& cmd, char* dst, size_t maxLength, const char* what) {
  const size_t n = cmd.end - cmd.start;
  if (n > maxLength) {
    printf("  %s is longer than %zu characters, refused: %.40s...\n", what, maxLength,
           cmd.text + cmd.start);
    return false;
  }
  memcpy(dst, cmd.text + cmd.start, n);
  dst[n] = 0;
  return true;
}

}  // namespace

uint8_t getColumnTypeCode(const char* word, size_t length) {
  for (const TypeWord& t : kTypeWords) {
    const size_t n = strlen(t.prefix);
    if (length >= n && strncasecmp(word, t.prefix, n) == 0) return t.code;
  }
  return kColNotGiven;
}

int parselobparams(SessionContext& ctx, const char* value) {
  char* end = nullptr;
  uint64_t part[3] = {};
  const char* p = value;
  for (int i = 0; i < 3; i++) {
    if (*p < '0' || *p > '9') return 0;
    errno = 0;
    part[i] = strtoull(p, &end, 10);
    if (errno != 0) return 0;
    p = end;
    if (i < 2) {
      if (*p != '.') return 0;
      p++;
    }
  }
  if (*p != 0) return 0;
  if (part[0] == 0 || part[1] == 0 || part[2] == 0) return 0;
  if (part[0] > kMaxColumns || part[1] > 0xFFFF || part[2] > 0xFFFFFFFFULL) return 0;
  ctx.lobIndexFile[part[0] - 1] = static_cast<uint16_t>(part[1]);
  ctx.lobIndexBlock[part[0] - 1] = static_cast<uint32_t>(part[2]);
  return 1;
}

bool isDictionaryTable(const char* table) {
  for (const char* prefix : {"USER$", "OBJ$", "COL$", "TAB$", "DICT$"})
    if (strncasecmp(table, prefix, strlen(prefix)) == 0) return true;
  return false;
}

int parseUnloadArgs(CommandBuffer& cmd, SessionContext& ctx, UnloadArgs& args) {
  args = UnloadArgs{};
  snprintf(args.extentList, sizeof args.extentList, "%s", kDefaultExtentList);
  int selectedWord = kNoKeyword;
  bool ok = true;
  ArgumentWord got;
  while (ok && (got = nextArgument(cmd, kUnloadWords, selectedWord)) != kArgumentsEnd) {
    if (got == kArgumentKeyword) {
      // TRUNCATED is a word of its own and takes no value.
      if (static_cast<Key>(selectedWord) == Key::Truncated) {
        args.truncated = true;
        selectedWord = kNoKeyword;
      }
      continue;
    }
    const Key selected = static_cast<Key>(selectedWord);
    const char* word = cmd.text + cmd.start;
    const size_t length = cmd.end - cmd.start;
    if (selected == Key::None) {
      // A forgotten ";" would otherwise merge two commands without a word.
      printf("Warning: UNLOAD ignores the word %.*s%s\n", static_cast<int>(length < 64 ? length : 64),
             word, length > 64 ? "..." : "");
      continue;
    }
    // Words end at a blank, so a number word ends where the scan stopped.
    char number[32] = {};
    memcpy(number, word, length < sizeof number - 1 ? length : sizeof number - 1);
    if (length >= sizeof number) number[0] = 'x';  // too long to be a number
    // A number that is not one, or does not fit its field, stops the command.
    auto numberOf = [&](uint64_t max) -> uint64_t {
      bool fits = false;
      const uint64_t v = decimalArgument(number, max, &fits);
      if (!fits && ok) {
        printf("  %s takes a number up to %llu, not %.*s; nothing unloaded.\n",
               kUnloadWords.begin()[selectedWord - 1], static_cast<unsigned long long>(max),
               static_cast<int>(length < 64 ? length : 64), word);
        ok = false;
      }
      return v;
    };
    switch (selected) {
      case Key::None: break;
      case Key::Table: ok = copyValue(cmd, args.table, kMaxTableArgument, "Table argument"); break;
      case Key::Object: args.objd = static_cast<uint32_t>(numberOf(0xFFFFFFFFULL)); break;
      case Key::Cluster:
        args.cluster = static_cast<uint8_t>(numberOf(0xFF));
        args.clusterGiven = true;
        break;
      case Key::Column:
        if (args.columnWords < kMaxColumns)
          ctx.columnTypes[args.columnWords++] = getColumnTypeCode(word, length);
        break;
      case Key::To: ok = copyValue(cmd, args.fileName, kMaxOutputName, "File name"); break;
      case Key::File: args.file = static_cast<uint16_t>(numberOf(0xFFFF)); break;
      case Key::Block: args.block = static_cast<uint32_t>(numberOf(0xFFFFFFFFULL)); break;
      case Key::Partition:
        ok = copyValue(cmd, args.partition, kMaxPartitionName, "Partition name");
        break;
      case Key::Chunk: {
        const int64_t v = static_cast<int64_t>(numberOf(0x7FFFFFFF));
        ctx.chunkCount = v < 1 ? 1 : static_cast<int32_t>(v);
        break;
      }
      case Key::Lob:
        if (parselobparams(ctx, number[0] == 'x' ? "" : number) == 0) {
          printf("  LOB takes colid.fid.blockid, not %.*s; nothing unloaded.\n",
                 static_cast<int>(length < 64 ? length : 64), word);
          ok = false;
        }
        break;
      case Key::Extent:
        ok = copyValue(cmd, args.extentList, kMaxExtentListName, "Extent list name");
        break;
      case Key::As:
        ok = copyValue(cmd, args.asName, kMaxAsName, "AS name");
        for (char* c = args.asName; *c; c++)
          if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
        break;
      case Key::Limit: {
        const uint64_t v = numberOf(kNoRowLimit);
        ctx.rowLimit = v < kMinRowLimit ? kMinRowLimit : v;
        break;
      }
      case Key::Index: ctx.indexNumber = static_cast<uint8_t>(numberOf(0xFF)); break;
      case Key::Parallel: args.parallel = static_cast<int>(numberOf(kMaxParallel)); break;
      case Key::Truncated: break;
      case Key::Like: ok = copyValue(cmd, args.like, kMaxTableArgument, "LIKE table"); break;
      case Key::User: ok = copyValue(cmd, args.user, kMaxOwnerName, "Owner name"); break;
    }
    if (selected != Key::Column) selectedWord = kNoKeyword;
  }
  return ok ? 0 : 1;
}
