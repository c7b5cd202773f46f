// The segment unload drivers: which blocks each one reads and in what
// order, the row limit, misplaced and damaged blocks, damaged extent maps,
// and block dispatch by transaction-layer type.
#include <gtest/gtest.h>

#include "format/block_layout.h"
#include "unload/unload_drivers.h"
#include "tests/support/data_rows_util.h"
#include "tests/support/dump_rows_util.h"
#include "tools/builder/index_builder.h"

namespace {

constexpr uint32_t kObjd = 500;
constexpr uint16_t kRfn = 4;

class Drivers : public testing::Test {
 protected:
  TempDir dir;
  TestSession s;
  std::vector<mkdb::FileImage> files;

  void SetUp() override {
    files.push_back(builtFile(dir, "a.dbf", 120, kRfn));
    setTypes(s.ctx, {kColNumber, kColVarchar2});
  }
  mkdb::FileImage& f() { return files[0]; }
  uint32_t rdba(uint32_t block) { return mkdb::blockAddress(f(), block); }

  // Block `block` holds `rows` rows (block number, row number).
  void rowsAt(uint32_t block, uint32_t objd = kObjd, int rows = 1, mkdb::FileImage* in = nullptr) {
    mkdb::FileImage& file = in ? *in : f();
    std::vector<mkdb::RowPiece> pieces;
    for (int r = 0; r < rows; r++) {
      pieces.push_back(piece({num(std::to_string(block)), str(std::to_string(file.rfn) + "." + std::to_string(r))}));
    }
    mkdb::DataBlockPlan plan;
    plan.objd = objd;
    plan.tables.push_back(pieces);
    ASSERT_EQ(0, mkdb::addRowBlock(file, block, plan));
  }
  void rowsIn(uint32_t first, uint32_t count) {
    for (uint32_t b = first; b < first + count; b++) rowsAt(b);
  }
  void open() {
    std::string config;
    for (const mkdb::FileImage& file : files) {
      ASSERT_EQ(0, mkdb::writeDataFile(file));
      config += file.path + "\n";
    }
    s.open(dir, config);
  }
  // The block numbers of the rows written, in order.
  static std::vector<int> blocksOf(const std::string& text) {
    std::vector<int> out;
    size_t at = 0;
    while (at < text.size()) {
      const size_t bar = text.find('|', at), end = text.find("\r\n", at);
      if (bar == std::string::npos || end == std::string::npos) break;
      out.push_back(std::stoi(text.substr(at, bar - at)));
      at = end + 2;
    }
    return out;
  }
  static std::vector<int> range(int first, int count) {
    std::vector<int> v;
    for (int i = 0; i < count; i++) v.push_back(first + i);
    return v;
  }
  static std::vector<int> join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
  }
  void loadHeader(uint32_t block) {
    ASSERT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, s.ctx.bigfile ? 0 : kRfn, block));
  }
  Captured extentRows() {
    return capture([&](FILE* out) { printExtentRows(out, s.ctx, kObjd, 0, 0, 0); });
  }
  Captured byExtent(const UnloadExtent& e) {
    return capture([&](FILE* out) { printRowByExtent(out, s.ctx, kObjd, 0, 0, 0, e); });
  }
  Captured scan(uint16_t file, uint32_t block) {
    return capture([&](FILE* out) { scanTableRows(out, s.ctx, kObjd, 0, 0, 0, file, block); });
  }
  // Reads are counted one per block: no read-ahead window.
  void countReads() {
    s.ctx.dataCache = nullptr;
    s.set->positionedReads = 0;
  }
};

TEST_F(Drivers, ThreeExtentsReadExactlyTheirBlocksInMapOrder) {
  for (uint8_t type : {16, 17, 35}) {
    files.clear();
    files.push_back(builtFile(dir, "a.dbf", 120, kRfn));
    rowsIn(40, 8);
    rowsIn(10, 8);
    rowsIn(24, 8);
    rowsAt(12, kObjd + 1);   // another object inside an extent
    for (uint32_t b : {18u, 32u, 60u}) rowsAt(b);  // the object, outside its extents
    mkdb::SegmentPlan plan;
    plan.type = type;
    plan.block = 5;
    plan.objd = kObjd;
    plan.extents = {mkdb::extentAt(f(), 40, 8), mkdb::extentAt(f(), 10, 8), mkdb::extentAt(f(), 24, 8)};
    ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
    open();
    loadHeader(5);
    countReads();
    const Captured c = extentRows();
    EXPECT_EQ(join({range(40, 8), {10, 11}, range(13, 5), range(24, 8)}), blocksOf(c.bytes)) << int(type);
    EXPECT_EQ(24u, s.set->positionedReads);
    EXPECT_EQ("", c.messages);
  }
}

// Blocks the maps name but that cannot be read are counted by cause, each
// block once, whichever driver reads them; blocks that read are not.
TEST_F(Drivers, UnreadableBlocksAreCountedByCause) {
  rowsIn(40, 4);
  rowsIn(115, 5);
  const mkdb::FileImage elsewhere = builtFile(dir, "z.dbf", 50, kRfn + 5);  // never opened
  mkdb::SegmentPlan plan;
  plan.block = 5;
  plan.objd = kObjd;
  plan.extents = {mkdb::extentAt(f(), 40, 4), mkdb::extentAt(elsewhere, 10, 6),
                  mkdb::extentAt(f(), 115, 10)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
  open();
  ASSERT_EQ(0, mkdb::flipFileByte(f().path, 41ull * 8192 + 300));
  s.ctx.blockCheck = 1;
  BlockTally tally;
  s.ctx.blockTally = &tally;
  loadHeader(5);
  EXPECT_EQ(join({{40}, range(42, 2), range(115, 5)}), blocksOf(extentRows().bytes));
  EXPECT_EQ(20u, tally.named);
  EXPECT_EQ(6u, tally.unreadable[kUnreadableNoFile]);
  EXPECT_EQ(5u, tally.unreadable[kUnreadableBeyondEnd]);
  EXPECT_EQ(1u, tally.unreadable[kUnreadableChecksum]);
  EXPECT_EQ(0u, tally.unreadable[kUnreadableReadFailed]);
  EXPECT_EQ(kRfn + 5u, tally.exampleFile[kUnreadableNoFile][0]);
  EXPECT_EQ(10u, tally.exampleBlock[kUnreadableNoFile][0]);
  EXPECT_EQ(120u, tally.exampleBlock[kUnreadableBeyondEnd][0]);
  EXPECT_EQ(41u, tally.exampleBlock[kUnreadableChecksum][0]);
  EXPECT_EQ("Warning: 12 of 20 blocks could not be read; rows stored in them are missing.\n"
            "  file not open: 6 blocks, first 9/10 9/11 9/12 9/13\n"
            "  beyond the end of its file: 5 blocks, first 4/120 4/121 4/122 4/123\n"
            "  checksum rejected: 1 blocks, first 4/41\n",
            capture([&](FILE* out) { printBlockTally(out, tally, true); }).bytes);

  // The same through an extent list: a file that is not open, and the blocks
  // past the end.
  BlockTally listed;
  s.ctx.blockTally = &listed;
  byExtent({kObjd, static_cast<uint16_t>(kRfn + 5), 10, 6});
  byExtent({kObjd, kRfn, 118, 4});
  EXPECT_EQ(10u, listed.named);
  EXPECT_EQ(6u, listed.unreadable[kUnreadableNoFile]);
  EXPECT_EQ(2u, listed.unreadable[kUnreadableBeyondEnd]);
  s.ctx.blockTally = nullptr;
}

TEST_F(Drivers, ExtentMapBlocksAreFollowedToTheEnd) {
  for (uint8_t type : {16, 35}) {
    files.clear();
    files.push_back(builtFile(dir, "a.dbf", 120, kRfn));
    mkdb::SegmentPlan plan;
    plan.type = type;
    plan.block = 5;
    plan.objd = kObjd;
    plan.perBlock = 2;
    plan.mapBlocks = {90, 70, 80};
    std::vector<int> expected;
    for (uint32_t k = 0; k < 7; k++) {
      const uint32_t first = 60 - 8 * k;  // 60, 52, … 12: two blocks each
      rowsIn(first, 2);
      plan.extents.push_back(mkdb::extentAt(f(), first, 2));
      expected.push_back(static_cast<int>(first));
      expected.push_back(static_cast<int>(first + 1));
    }
    ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
    open();
    loadHeader(5);
    EXPECT_EQ(expected, blocksOf(extentRows().bytes)) << int(type);
  }
}

TEST_F(Drivers, DamagedExtentMapsEndOrPassOverWithoutLooping) {
  rowsIn(10, 4);
  rowsIn(20, 4);
  rowsIn(30, 4);
  mkdb::SegmentPlan plan;
  plan.block = 5;
  plan.objd = kObjd;
  plan.perBlock = 1;
  plan.mapBlocks = {6, 7};
  plan.extents = {mkdb::extentAt(f(), 10, 4), mkdb::extentAt(f(), 20, 4), mkdb::extentAt(f(), 30, 4)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
  const mkdb::Block header = f().images[5], map6 = f().images[6], map7 = f().images[7];
  const auto nextOf = [](mkdb::Block& b, uint32_t v) { mkdb::putUB4(b, 24, v, mkdb::kLittle); };
  const auto run = [&](const char* what, const std::vector<int>& expected) {
    open();
    loadHeader(5);
    EXPECT_EQ(expected, blocksOf(extentRows().bytes)) << what;
    f().images[5] = header;
    f().images[6] = map6;
    f().images[7] = map7;
  };
  const std::vector<int> all = join({range(10, 4), range(20, 4), range(30, 4)});
  nextOf(f().images[7], rdba(7));  // the last map block names itself
  run("self loop", all);
  nextOf(f().images[7], rdba(6));  // … or the one before it
  run("two-block loop", all);
  nextOf(f().images[6], 0xFFFFFFFF);  // an address no file has
  run("huge next address", join({range(10, 4), range(20, 4)}));
  nextOf(f().images[6], rdba(10));  // a data block, not an extent map
  run("next is a data block", join({range(10, 4), range(20, 4)}));
  // Extent entries: a count far past the block, a range past 32 bits, a
  // block count far past the file, an entry count far past the entries.
  mkdb::putUB4(f().images[6], 36 + 4, 0x7FFFFFFF, mkdb::kLittle);
  mkdb::putUB4(f().images[7], 36, 0xFFFFFF00, mkdb::kLittle);
  mkdb::putUB4(f().images[7], 36 + 4, 0x200, mkdb::kLittle);
  mkdb::putUB4(f().images[5], 92, 0xFFFFFFFF, mkdb::kLittle);
  // Map block 6's extent now reaches the end of the file, over blocks 30 … 33.
  run("damaged entries", all);
}

TEST_F(Drivers, CheckedSegmentHeaderAndBlocksTheExtentDriversPassOver) {
  rowsIn(10, 3);
  rowsAt(11, kObjd, 2);
  mkdb::SegmentPlan plan;
  plan.block = 5;
  plan.objd = kObjd;
  plan.extents = {mkdb::extentAt(f(), 10, 3)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
  // Block 12 also holds the object's rows but was written at position 12 as
  // block 50: misplaced.
  mkdb::putUB4(f().images[12], 4, rdba(50), mkdb::kLittle);
  open();
  // The full scan takes the misplaced block; the extent drivers do not.
  EXPECT_EQ(std::vector<int>({10, 11, 11, 12}), blocksOf(scan(0, 0).bytes));
  loadHeader(5);
  EXPECT_EQ(std::vector<int>({10, 11, 11}), blocksOf(extentRows().bytes));
  EXPECT_EQ(std::vector<int>({10, 11, 11}), blocksOf(byExtent({kObjd, kRfn, 10, 3}).bytes));
  // A corrupt-listed block: the extent walk hands it to the decoder, which
  // reports it; the extent list driver passes it over silently.
  s.corrupt.rdba[s.corrupt.count++] = rdba(11);
  loadHeader(5);
  Captured c = extentRows();
  EXPECT_EQ(std::vector<int>({10}), blocksOf(c.bytes));
  EXPECT_EQ("Block check failured at RDBA=0x0100000b=16777227\n", c.messages);
  c = byExtent({kObjd, kRfn, 10, 3});
  EXPECT_EQ(std::vector<int>({10}), blocksOf(c.bytes));
  EXPECT_EQ("", c.messages);
  // A corrupt-listed or checksum-failing segment header yields nothing.
  s.corrupt.rdba[0] = rdba(5);
  loadHeader(5);
  EXPECT_EQ("", extentRows().bytes);
  s.corrupt.count = 0;
  loadHeader(5);
  s.ctx.blockBuffer[200] ^= 1;
  s.ctx.blockCheck = 1;
  EXPECT_EQ("", extentRows().bytes);
  s.ctx.blockCheck = 0;
  // What is not a segment header gives nothing either.
  ASSERT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, kRfn, 10));
  EXPECT_EQ("", extentRows().bytes);
}

TEST_F(Drivers, ExtentListArgumentsThatSelectNothing) {
  rowsIn(10, 3);
  open();
  countReads();
  for (const UnloadExtent& e : {UnloadExtent{0, kRfn, 10, 3}, UnloadExtent{kObjd, 0, 10, 3},
                                UnloadExtent{kObjd, kRfn, 0, 3}, UnloadExtent{kObjd, kRfn, 10, 0},
                                UnloadExtent{kObjd, kRfn, 0xFFFFFFF0, 0x20}}) {
    EXPECT_EQ("", byExtent(e).bytes);
  }
  EXPECT_EQ(0u, s.set->positionedReads);
  // A block count far past the end of the file reads only what the file has.
  EXPECT_EQ(range(10, 3), blocksOf(byExtent({kObjd, kRfn, 10, 0xFFFFFF00}).bytes));
  EXPECT_EQ(110u, s.set->positionedReads);
}

TEST_F(Drivers, FullScanSkipsBlocksZeroAndOneAndReadsToTheLastBlock) {
  files[0] = builtFile(dir, "a.dbf", 1001, kRfn);
  for (uint32_t b : {0u, 1u, 2u, 500u, 1000u}) rowsAt(b);
  open();
  ASSERT_EQ(1000u, s.set->entries[0].blocks);
  countReads();
  EXPECT_EQ(std::vector<int>({2, 500, 1000}), blocksOf(scan(0, 0).bytes));
  EXPECT_EQ(999u, s.set->positionedReads);
  // One given block.
  EXPECT_EQ(std::vector<int>({500}), blocksOf(scan(kRfn, 500).bytes));
  EXPECT_EQ(std::vector<int>({}), blocksOf(scan(kRfn + 1, 500).bytes));
}

TEST_F(Drivers, FullScanWalksFilesInOrderAndSelectsByFileNumber) {
  files.push_back(builtFile(dir, "b.dbf", 40, kRfn + 3));
  files.push_back(builtFile(dir, "c.dbf", 40, kRfn + 1));
  rowsAt(30);
  rowsAt(7, kObjd, 1, &files[1]);
  rowsAt(8, kObjd, 1, &files[2]);
  open();
  const std::string all = scan(0, 0).bytes;
  EXPECT_EQ("30|4.0\r\n7|7.0\r\n8|5.0\r\n", all);
  EXPECT_EQ("8|5.0\r\n", scan(kRfn + 1, 0).bytes);
}

TEST_F(Drivers, IndexBlocksAreDispatchedByTheExtentDriversAndOneBlockScansOnly) {
  mkdb::IndexBlockPlan leaf;
  leaf.objd = kObjd;
  mkdb::IndexRow row;
  row.key = {num("77")};
  row.hasNonKey = true;
  row.nonKey.flag = mkdb::kRowH | mkdb::kRowF | mkdb::kRowL;
  row.nonKey.columns = {str("iot")};
  leaf.rows = {row};
  ASSERT_EQ(0, mkdb::addIndexBlock(f(), 11, leaf));
  mkdb::IndexBlockPlan branch = leaf;
  branch.level = 1;
  branch.rows.clear();
  ASSERT_EQ(0, mkdb::addIndexBlock(f(), 10, branch));
  rowsAt(12);
  // Any other transaction-layer type is passed over.
  rowsAt(13);
  f().images[13][20] = 3;
  open();
  EXPECT_EQ("77|iot\r\n12|4.0\r\n", byExtent({kObjd, kRfn, 10, 4}).bytes);
  EXPECT_EQ("12|4.0\r\n", scan(0, 0).bytes);
  EXPECT_EQ("77|iot\r\n", scan(kRfn, 11).bytes);
  s.ctx.outputStyle = 1;
  const auto rows = parseRows(s.ctx, byExtent({kObjd, kRfn, 10, 4}).bytes);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x4E"), dmpText("iot")}), rows[0]);
  EXPECT_EQ(values({dmpText("\xC1\x0D"), dmpText("4.0")}), rows[1]);
}

TEST_F(Drivers, RowLimitStopsEachDriverWhereItIs) {
  // Thirty blocks of one row each: 2 … 31 of file 4, the extent in the
  // header, more extents in a map block; a second file after it.
  files.push_back(builtFile(dir, "b.dbf", 40, kRfn + 1));
  rowsIn(2, 30);
  rowsAt(5, kObjd, 1, &files[1]);
  mkdb::SegmentPlan plan;
  plan.block = 100;
  plan.objd = kObjd;
  plan.perBlock = 1;
  plan.mapBlocks = {101};
  plan.extents = {mkdb::extentAt(f(), 2, 30), mkdb::extentAt(f(), 2, 30)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
  open();
  s.ctx.rowLimit = 10;

  countReads();
  EXPECT_EQ(range(2, 10), blocksOf(byExtent({kObjd, kRfn, 2, 30}).bytes));
  EXPECT_EQ(10u, s.set->positionedReads);
  EXPECT_EQ(10u, s.ctx.rowsUnloaded);
  EXPECT_EQ("", byExtent({kObjd, kRfn, 2, 30}).bytes);  // already at the limit

  s.ctx.rowsUnloaded = 0;
  loadHeader(100);
  countReads();
  EXPECT_EQ(range(2, 10), blocksOf(extentRows().bytes));
  EXPECT_EQ(10u, s.set->positionedReads);  // no extent map block was read

  s.ctx.rowsUnloaded = 0;
  countReads();
  EXPECT_EQ(range(2, 10), blocksOf(scan(0, 0).bytes));
  EXPECT_EQ(10u, s.set->positionedReads);  // the second file was not started

  // The limit inside one block.
  rowsAt(40, kObjd, 15);
  s.ctx.dataCache = &s.data;
  open();
  s.ctx.rowsUnloaded = 0;
  EXPECT_EQ(10u, blocksOf(byExtent({kObjd, kRfn, 40, 1}).bytes).size());
}

TEST_F(Drivers, BigfileAddressesAreWholeBlockNumbers) {
  mkdb::FileImage big;
  big.path = dir.file("big.dbf");
  big.bigfile = true;
  big.rfn = 0;
  big.blocks = 40;
  mkdb::addFileHeader(big);
  files[0] = big;
  rowsIn(10, 3);
  mkdb::SegmentPlan plan;
  plan.block = 5;
  plan.objd = kObjd;
  plan.extents = {mkdb::extentAt(f(), 10, 3)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f(), plan));
  s.ctx.bigfile = 1;
  open();
  loadHeader(5);
  EXPECT_EQ(range(10, 3), blocksOf(extentRows().bytes));
  EXPECT_EQ(range(10, 3), blocksOf(byExtent({kObjd, 0, 10, 3}).bytes));
  EXPECT_EQ(std::vector<int>({11}), blocksOf(scan(0, 11).bytes));
}

}  // namespace
