// Rows of damaged index leaf blocks. A builder-made leaf of an
// index-organized table (a prefix before the keys, non-key parts, overflow
// pieces, a column split between the leaf and its overflow piece) is changed
// by the input (the bytes after the first 16 are XORed into it) and written
// as block 2 of a scratch data file; overflow addresses lead to block 3 or,
// once damaged, anywhere. The first 16 bytes choose the column count and
// types and the selection flags. The rows are mapped, listed, written as text
// and as export dump rows; the dump rows must be whole rows of the column
// count with every long value closed.
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
#include "rows/index_block.h"
#include "tools/builder/index_builder.h"

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

// A leaf in block 2 whose overflow pieces are in block 3.
void buildFile(mkdb::FileImage& f) {
  using namespace mkdb;
  const auto at = [&](uint32_t block, uint16_t slot) { return RowAddress{blockAddress(f, block), slot}; };
  IndexBlockPlan leaf;
  leaf.objd = kObjd;
  leaf.keyColumns = 2;
  leaf.prefixSize = 2;
  const auto row = [](std::vector<Value> key, std::vector<Value> nonKey, uint8_t flag, RowAddress next) {
    IndexRow r;
    r.prefix = {0x01, 0x02};
    r.key = std::move(key);
    r.hasNonKey = !nonKey.empty() || flag != 0;
    r.nonKey.flag = flag;
    r.nonKey.columns = std::move(nonKey);
    r.nonKey.next = next;
    return r;
  };
  leaf.rows = {
      row({OracleBytes{0xC1, 0x02}, text("k")}, {}, 0, {}),
      row({OracleBytes{0xC1, 0x03}, std::nullopt}, {text("v"), std::nullopt, text("w")}, kRowH | kRowF | kRowL, {}),
      row({OracleBytes{0xC1, 0x04}, text("k")}, {text("in")}, kRowH | kRowF, at(3, 0)),
      row({OracleBytes{0xC1, 0x05}, text("k")}, {text("spl")}, kRowH | kRowF | kRowN, at(3, 1)),
  };
  leaf.rows[1].flag = kIndexDeleted;
  addIndexBlock(f, 2, leaf);
  DataBlockPlan three;
  three.objd = kObjd + 1;
  three.tables.push_back({
      piece({text("out"), text("more")}, kRowL),
      piece({text("it"), text("after")}, kRowP, at(3, 2)),
      piece({text("last")}, kRowL),
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
  char tmpl[] = "/tmp/zut-fuzz-index-XXXXXX";
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

  const int deleted = (head[15] >> 1) & 1, committed = head[15] & 1;
  ctx.rowAddress = head[14] & 0x01;
  for (uint32_t i = 0; i < 8; i++) mapIndexColumns(ctx, 0, static_cast<int>(i));
  FILE* sink = fopen("/dev/null", "w");
  if (sink == nullptr) return 0;
  printIndexRowHeader(sink, ctx);
  printIndexRow2(sink, ctx, deleted, committed);
  fclose(sink);
  ctx.rowsUnloaded = 0;
  char* out = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&out, &length);
  dumpIndexRow2(f, ctx, deleted, committed);
  fclose(f);
  const bool whole = wholeRows(std::string(out, length), ctx.columnCount);
  free(out);
  if (!whole) __builtin_trap();
  return 0;
}
