// Rows of damaged index leaf blocks. A builder-made leaf of an
// index-organized table (a prefix before the keys, non-key parts, overflow
// pieces, a column split between the leaf and its overflow piece) is changed
// by the input (the bytes after the first 16 are XORed into it) and written
// as block 2 of a scratch data file; overflow addresses lead to block 3 or,
// once damaged, anywhere. The first 16 bytes choose the column count and
// types and the selection flags. The rows are mapped, listed, written as text
// and as export dump rows; the dump rows must be whole rows of the column
// count with every long value closed.
#include <cstdint>
#include <cstdio>

#include "rows/dump_rows.h"
#include "dump/block_listings.h"
#include "rows/index_rows.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/index_builder.h"

namespace {

constexpr uint32_t kObjd = 77;

DamagedBlockFuzz* fuzz = nullptr;

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
      row({OracleBytes{0xC1, 0x02}, textValue("k")}, {}, 0, {}),
      row({OracleBytes{0xC1, 0x03}, std::nullopt}, {textValue("v"), std::nullopt, textValue("w")},
          kRowH | kRowF | kRowL, {}),
      row({OracleBytes{0xC1, 0x04}, textValue("k")}, {textValue("in")}, kRowH | kRowF, at(3, 0)),
      row({OracleBytes{0xC1, 0x05}, textValue("k")}, {textValue("spl")}, kRowH | kRowF | kRowN, at(3, 1)),
  };
  leaf.rows[1].flag = kIndexDeleted;
  addIndexBlock(f, 2, leaf);
  DataBlockPlan three;
  three.objd = kObjd + 1;
  three.tables.push_back({
      rowPiece({textValue("out"), textValue("more")}, kRowL),
      rowPiece({textValue("it"), textValue("after")}, kRowP, at(3, 2)),
      rowPiece({textValue("last")}, kRowL),
  });
  addRowBlock(f, 3, three);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz = new DamagedBlockFuzz;
  return initDamagedBlockFuzz(*fuzz, "index", buildFile);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SessionContext& ctx = fuzz->session.ctx;
  uint8_t head[kDamagedHeadBytes];
  if (loadDamagedBlock(*fuzz, data, size, head) == 0) return 0;

  const int deleted = (head[15] >> 1) & 1, committed = head[15] & 1;
  ctx.rowAddress = head[14] & 0x01;
  for (uint32_t i = 0; i < 8; i++) mapIndexColumns(ctx, 0, static_cast<int>(i));
  FILE* sink = fopen("/dev/null", "w");
  if (sink == nullptr) return 0;
  printIndexRowHeader(sink, ctx);
  printIndexRow2(sink, ctx, deleted, committed);
  fclose(sink);
  ctx.rowsUnloaded = 0;
  requireWholeDumpRows(ctx.columnCount, [&](FILE* f) { dumpIndexRow2(f, ctx, deleted, committed); });
  return 0;
}
