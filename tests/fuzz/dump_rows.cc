// Export dump rows of damaged data blocks. A builder-made block with rows of
// every kind the dump writer treats apart (NULLs, trailing NULLs, LONG
// values, columns split over several pieces, chained and migrated rows) is
// changed by the input (the bytes after the first 16 are XORed into it) and
// written as block 2 of a scratch data file, so that chains lead back into
// the damaged block or on to block 3. The first 16 bytes choose the column
// count and types and the selection flags.
//
// Besides running clean under the sanitizers, the written row stream must
// hold whole rows: every row exactly the column count of items, every long
// value closed.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "rows/dump_rows.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kBlockSize = 2048;
constexpr uint32_t kObjd = 77;
const uint8_t kTypes[] = {kColNumber, kColVarchar2, kColLong, kColLongRaw, kColDate, kColRaw,
                          kColClob,   kColChar,     kColSkip, kColNotGiven};

struct Scratch {
  std::string dir;
  std::vector<uint8_t> base;
  int fd = -1;
  DataFileSet* set = new DataFileSet;
  ReadAheadCache cache;
  RdbaList corrupt, skip;
  SessionContext ctx;
};
Scratch* scratch = nullptr;

mkdb::Value text(const std::string& s) { return OracleBytes(s.begin(), s.end()); }

mkdb::RowPiece piece(std::vector<mkdb::Value> columns, uint8_t flag, mkdb::RowAddress next = {}) {
  mkdb::RowPiece p;
  p.flag = flag;
  p.columns = std::move(columns);
  p.next = next;
  return p;
}

// Rows of block 2, chains within it and on to block 3.
void buildFile(mkdb::FileImage& f) {
  using namespace mkdb;
  const auto at = [&](uint32_t block, uint16_t slot) { return RowAddress{blockAddress(f, block), slot}; };
  DataBlockPlan two;
  two.objd = kObjd;
  two.tables.push_back({
      piece({OracleBytes{0xC1, 0x02}, std::nullopt, text("abc")}, kRowWhole),
      piece({OracleBytes{0xC1, 0x03}, text("long"), OracleBytes{0xC1, 0x04}}, kRowWhole),
      piece({OracleBytes{0xC1, 0x05}, text("split-")}, kRowH | kRowF | kRowN, at(2, 3)),
      piece({text("middle-")}, kRowP | kRowN, at(3, 0)),
      piece({}, kRowH, at(3, 1)),
      piece({OracleBytes{0xC1, 0x06}}, kRowH | kRowF, at(2, 5)),
  });
  addRowBlock(f, 2, two);
  DataBlockPlan three;
  three.objd = kObjd;
  three.tables.push_back({
      piece({text("end"), text("x"), std::nullopt, text("y")}, kRowP | kRowL),
      piece({OracleBytes{0xC1, 0x07}, text("migrated")}, kRowF | kRowL),
  });
  addRowBlock(f, 3, three);
}

// Items of the row stream: whole rows of `columns` items, long values closed.
bool wholeRows(const std::string& s, int columns) {
  size_t at = 0;
  const auto next = [&](uint16_t& v) {
    if (at + 2 > s.size()) return false;
    v = static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8);
    at += 2;
    return true;
  };
  while (at < s.size()) {
    int items = 0;
    for (;;) {
      uint16_t n = 0;
      if (!next(n)) return false;
      if (n == 0) break;
      if (n == 0xFFFF) return false;
      items++;
      if (n == 0xFFFD) {
        for (;;) {
          uint16_t k = 0;
          if (!next(k) || k == 0xFFFD || k == 0xFFFF) return false;
          if (k == 0) break;
          if (k != 0xFFFE) at += k;
        }
      } else if (n != 0xFFFE) {
        at += n;
      }
      if (at > s.size()) return false;
    }
    if (items != columns) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;
  char tmpl[] = "/tmp/zut-fuzz-dump-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  scratch = new Scratch;
  scratch->dir = tmpl;
  atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(scratch->dir, ec);
  });
  mkdb::FileImage f;
  f.path = scratch->dir + "/rows.dbf";
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = 4;
  f.blocks = 8;
  mkdb::addFileHeader(f);
  buildFile(f);
  if (mkdb::writeDataFile(f) != 0) return 1;
  scratch->base = f.images[2];
  scratch->fd = open(f.path.c_str(), O_WRONLY);
  if (scratch->fd < 0) return 1;

  SessionContext& ctx = scratch->ctx;
  ctx.blockSize = kBlockSize;
  ctx.blockBuffer = static_cast<unsigned char*>(malloc(kBlockSize));
  resizeReadAheadCache(scratch->cache, 4 * kBlockSize);
  ctx.dataCache = &scratch->cache;
  ctx.corruptList = &scratch->corrupt;
  ctx.skipList = &scratch->skip;
  ctx.fileSet = scratch->set;
  const std::string config = f.path + "\n";
  FILE* c = fmemopen(const_cast<char*>(config.data()), config.size(), "r");
  loadConfig(*scratch->set, c);
  fclose(c);
  openDBFile(*scratch->set, nullptr);
  checkFileHeader(ctx);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& s = *scratch;
  SessionContext& ctx = s.ctx;
  uint8_t head[16] = {};
  memcpy(head, data, size < 16 ? size : 16);
  std::vector<uint8_t> block = s.base;
  for (size_t i = 16; i < size && i - 16 < block.size(); i++) block[i - 16] ^= data[i];
  if (pwrite(s.fd, block.data(), block.size(), 2 * static_cast<off_t>(kBlockSize)) != kBlockSize) return 0;
  emptyReadAheadCache(s.cache);

  ctx.columnCount = head[0] % 13;
  memset(ctx.columnTypes, 0, sizeof ctx.columnTypes);
  for (int i = 0; i < 12; i++) ctx.columnTypes[i] = kTypes[head[1 + i] % sizeof kTypes];
  ctx.maxChains = head[13] & 0x03;
  ctx.rowsUnloaded = 0;
  ctx.rowLimit = (head[13] & 0x04) ? 3 : kNoRowLimit;
  if (readBlock(s.set, ctx, 4, 2) != kBlockSize) return 0;

  char* out = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&out, &length);
  dumpDataRows2(f, ctx, head[14] & 0x01, (head[15] >> 1) & 1, head[15] & 1);
  fclose(f);
  const bool whole = wholeRows(std::string(out, length), ctx.columnCount);
  free(out);
  if (!whole) __builtin_trap();
  return 0;
}
