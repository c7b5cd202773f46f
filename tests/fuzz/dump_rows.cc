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
#include <cstdint>
#include <cstdio>

#include "rows/dump_rows.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kObjd = 77;

DamagedBlockFuzz* fuzz = nullptr;

// Rows of block 2, chains within it and on to block 3.
void buildFile(mkdb::FileImage& f) {
  using namespace mkdb;
  const auto at = [&](uint32_t block, uint16_t slot) { return RowAddress{blockAddress(f, block), slot}; };
  DataBlockPlan two;
  two.objd = kObjd;
  two.tables.push_back({
      rowPiece({OracleBytes{0xC1, 0x02}, std::nullopt, textValue("abc")}, kRowWhole),
      rowPiece({OracleBytes{0xC1, 0x03}, textValue("long"), OracleBytes{0xC1, 0x04}}, kRowWhole),
      rowPiece({OracleBytes{0xC1, 0x05}, textValue("split-")}, kRowH | kRowF | kRowN, at(2, 3)),
      rowPiece({textValue("middle-")}, kRowP | kRowN, at(3, 0)),
      rowPiece({}, kRowH, at(3, 1)),
      rowPiece({OracleBytes{0xC1, 0x06}}, kRowH | kRowF, at(2, 5)),
  });
  addRowBlock(f, 2, two);
  DataBlockPlan three;
  three.objd = kObjd;
  three.tables.push_back({
      rowPiece({textValue("end"), textValue("x"), std::nullopt, textValue("y")}, kRowP | kRowL),
      rowPiece({OracleBytes{0xC1, 0x07}, textValue("migrated")}, kRowF | kRowL),
  });
  addRowBlock(f, 3, three);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz = new DamagedBlockFuzz;
  return initDamagedBlockFuzz(*fuzz, "dump", buildFile);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SessionContext& ctx = fuzz->session.ctx;
  uint8_t head[kDamagedHeadBytes];
  if (loadDamagedBlock(*fuzz, data, size, head) == 0) return 0;
  requireWholeDumpRows(ctx.columnCount, [&](FILE* f) {
    dumpDataRows2(f, ctx, head[14] & 0x01, (head[15] >> 1) & 1, head[15] & 1);
  });
  return 0;
}
