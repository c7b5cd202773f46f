// Rows of data blocks to text: row selection, the text around each value,
// chained and migrated rows, clusters, block checks and damaged blocks.
#include <gtest/gtest.h>
#include <fstream>
#include <vector>

#include "format/block_layout.h"
#include "rows/compress.h"
#include "rows/row_map.h"
#include "tests/support/data_rows_util.h"

using mkdb::kRowC;
using mkdb::kRowD;
using mkdb::kRowF;
using mkdb::kRowH;
using mkdb::kRowK;
using mkdb::kRowL;
using mkdb::kRowN;
using mkdb::kRowP;
using mkdb::kRowWhole;

namespace {

class DataRows : public testing::TestWithParam<uint8_t> {};

TEST_P(DataRows, ValuesNullsAndTrailingNullsInBothByteOrdersAndHeaderForms) {
  for (bool shift : {true, false}) {
    TestSession s(8192, GetParam());
    const mkdb::FileImage f = geometry(8192, GetParam());
    setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
    // 02 C1 02 / FF / 03 41 42 43, and a row whose last two columns are not stored.
    const mkdb::Block b = rowBlock(f, 5, {piece({num("1"), null(), str("ABC")}), piece({num("5")})},
                                   77, shift);
    EXPECT_EQ(shift ? 0x32 : 0x00, b[38]);
    const Decoded d = decodeBlock(s.ctx, b);
    EXPECT_EQ("1||ABC\r\n5\r\n", d.text);
    EXPECT_EQ("", d.messages);
    EXPECT_EQ(2u, s.ctx.rowsUnloaded);
    EXPECT_EQ(44u + 48u + (shift ? 8u : 0u), getDataBeginOffset(s.ctx));
    EXPECT_EQ(1u, getTableCount(s.ctx));
    EXPECT_EQ(2u, getRecordCount(s.ctx));
    EXPECT_EQ(2u, getTableRowCount(s.ctx, 0));
    EXPECT_EQ(0u, getTableRowIndex(s.ctx, 0));
  }
}

TEST_P(DataRows, LongColumnLengthIsReadInTheSessionByteOrder) {
  TestSession s(8192, GetParam());
  setTypes(s.ctx, {kColVarchar2, kColNumber});
  const std::string big(300, 'q');
  const Decoded d = decodeBlock(s.ctx, rowBlock(geometry(8192, GetParam()), 5, {piece({str(big), num("-7.5")})}));
  EXPECT_EQ(big + "|-7.5\r\n", d.text);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, DataRows, testing::Values(mkdb::kLittle, mkdb::kBig));

TEST(DataRowSelection, DeletedRowsOnlyWhenAsked) {
  TestSession s;
  setTypes(s.ctx, {kColVarchar2});
  const mkdb::Block b = rowBlock(geometry(), 5, {piece({str("a")}), piece({str("b")}, kRowWhole | kRowD),
                                                 piece({str("c")})});
  EXPECT_EQ("a\r\nc\r\n", decodeBlock(s.ctx, b, 0, 0).text);
  EXPECT_EQ("a\r\nb\r\nc\r\n", decodeBlock(s.ctx, b, 0, 1).text);
}

TEST(DataRowSelection, CommittedOnlyFollowsTheFlagOfTheLockingITL) {
  TestSession s;
  setTypes(s.ctx, {kColVarchar2});
  mkdb::DataBlockPlan plan;
  plan.objd = 77;
  plan.itls = 4;
  plan.itlFlags = {0x0, 0x8, 0x2, 0x1};
  std::vector<mkdb::RowPiece> rows;
  const char* names[] = {"free", "itl1", "itl2", "itl3", "itl4", "itl9"};
  const uint8_t locks[] = {0, 1, 2, 3, 4, 9};
  for (int i = 0; i < 6; i++) {
    rows.push_back(piece({str(names[i])}));
    rows.back().lock = locks[i];
  }
  plan.tables.push_back(rows);
  mkdb::Block b;
  ASSERT_EQ(0, mkdb::encodeRowBlock(geometry(), 5, plan, b));
  EXPECT_EQ("free\r\nitl1\r\nitl2\r\nitl3\r\nitl4\r\nitl9\r\n", decodeBlock(s.ctx, b, 0, 0, 0).text);
  // ITL 1 has flag 0 (active), 2 has 0x8 (committed), 3 has 0x2 (upper-bound
  // commit), 4 has 0x1; lock 9 names an ITL the block does not have.
  EXPECT_EQ("free\r\nitl2\r\nitl3\r\n", decodeBlock(s.ctx, b, 0, 0, 1).text);
}

TEST(DataRowSelection, EmptyAndImpossibleSlotsArePassedOver) {
  TestSession s;
  setTypes(s.ctx, {kColVarchar2});
  mkdb::RowPiece gap;
  gap.empty = true;
  mkdb::RowPiece tail = piece({str("z")});
  mkdb::Block b = rowBlock(geometry(), 5, {piece({str("x")}), gap, piece({str("y")}, kRowF | kRowL), tail});
  EXPECT_EQ("x\r\nz\r\n", decodeBlock(s.ctx, b).text);  // y is not a head piece

  // Directory entries pointing below the free space end, past the block, or
  // into the row directory itself are not rows.
  memcpy(s.ctx.blockBuffer, b.data(), b.size());
  const uint32_t d = getDataBeginOffset(s.ctx);
  const uint32_t dir = getTableDirectoryOffset(s.ctx) + 4;
  const uint16_t fseo = getFreeSpaceEndOffset(s.ctx);
  mkdb::putUB2(b, dir + 0, fseo - 1, mkdb::kLittle);
  mkdb::putUB2(b, dir + 2, 8192 - d, mkdb::kLittle);
  mkdb::putUB2(b, dir + 4, 1, mkdb::kLittle);
  EXPECT_EQ("z\r\n", decodeBlock(s.ctx, b).text);
}

TEST(DataRowSelection, RowLimitStopsTheBlockAndCountsRows) {
  TestSession s;
  setTypes(s.ctx, {kColNumber});
  std::vector<mkdb::RowPiece> rows;
  for (int i = 0; i < 5; i++) rows.push_back(piece({num(std::to_string(i))}));
  const mkdb::Block b = rowBlock(geometry(), 5, rows);
  s.ctx.rowLimit = 2;
  EXPECT_EQ("0\r\n1\r\n", decodeBlock(s.ctx, b).text);
  EXPECT_EQ("", decodeBlock(s.ctx, b).text);  // the counter is already at the limit
  s.ctx.rowLimit = kNoRowLimit;
  s.ctx.rowsUnloaded = 0;
  s.ctx.rowOutputMode = 2;  // sampling stops at GUESS_SIZE and writes nothing
  s.ctx.guessSize = 3;
  EXPECT_EQ("", decodeBlock(s.ctx, b).text);
  EXPECT_EQ(3u, s.ctx.rowsUnloaded);
}

TEST(DataRowText, ColumnTypesPrefixesWarningsAndTags) {
  TestSession s;
  const mkdb::FileImage f = geometry(8192, mkdb::kLittle, 4);
  s.ctx.fieldTag[0] = ',';
  s.ctx.recordTag[0] = '\n';
  s.ctx.recordTagLength = 1;
  setTypes(s.ctx, {kColNumber, kColSkip, kColNotGiven, kColVarchar2});
  std::vector<mkdb::RowPiece> rows;
  for (int i = 0; i < 7; i++) rows.push_back(piece({num("2"), str("hidden"), str("\x01\xAB"), str("v")}));
  rows.push_back(piece({num("3"), str("hidden"), null(), str("w")}));
  const Decoded d = decodeBlock(s.ctx, rowBlock(f, 100, rows));
  std::string text;
  for (int i = 0; i < 7; i++) text += "2,C3=01AB,v\n";
  EXPECT_EQ(text + "3,,w\n", d.text);
  // Only the first five values of the unknown column are shown, on stdout.
  std::string warnings;
  for (int i = 0; i < 5; i++) {
    warnings += "Warnings : UNKNOWN column type 3 at 16777316.0." + std::to_string(i) + " value 0x01AB\n";
  }
  EXPECT_EQ(warnings, d.messages);

  // UNLOAD ... INDEX puts the column number before every value.
  s.ctx.indexNumber = 1;
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  EXPECT_EQ("C1=1,,C3=x\n", decodeBlock(s.ctx, rowBlock(f, 100, {piece({num("1"), null(), str("x")})})).text);
}

TEST(DataRowText, RowAddressPrefix) {
  TestSession s;
  const mkdb::FileImage f = geometry(8192, mkdb::kLittle, 4);
  setTypes(s.ctx, {kColVarchar2});
  std::vector<mkdb::RowPiece> rows;
  for (int i = 0; i < 8; i++) rows.push_back(piece({str(i == 7 ? "seven" : "x")}, i == 7 ? kRowWhole : kRowWhole | kRowD));
  s.ctx.rowAddress = 1;
  EXPECT_EQ("16777316.0.7|seven\r\n", decodeBlock(s.ctx, rowBlock(f, 100, rows)).text);
  s.ctx.rowOutputMode = 2;
  EXPECT_EQ("", decodeBlock(s.ctx, rowBlock(f, 100, rows)).text);
}

TEST(DataRowMapping, NullClampAndColumnsRunningPastTheBlock) {
  TestSession s(2048);
  const mkdb::FileImage f = geometry(2048);
  mkdb::Block b = rowBlock(f, 5, {piece({str("ab"), str("cd")})});
  memcpy(s.ctx.blockBuffer, b.data(), b.size());
  s.ctx.mappedCount = 0;
  mapNormalColumns(s.ctx, 0, 0);
  ASSERT_EQ(2, s.ctx.mappedCount);
  const uint32_t start = getRowStart(s.ctx, 0, 0);
  EXPECT_EQ(start + 4, s.ctx.columnMap[0].offset);
  EXPECT_EQ(2, s.ctx.columnMap[0].length);

  // Move the row so its second column ends exactly at S − 1: it becomes NULL
  // (offset S − 2, length 0); the first column stays.
  const uint32_t d = getDataBeginOffset(s.ctx);
  const uint8_t row[] = {kRowWhole, 0, 2, 2, 'a', 'b', 2, 'c', 'd'};
  const uint32_t at = 2048 - 1 - sizeof row;
  memcpy(s.ctx.blockBuffer + at, row, sizeof row);
  const uint32_t dir = getTableDirectoryOffset(s.ctx) + 4;
  s.ctx.blockBuffer[dir] = static_cast<uint8_t>(at - d);
  s.ctx.blockBuffer[dir + 1] = static_cast<uint8_t>((at - d) >> 8);
  s.ctx.mappedCount = 0;
  mapNormalColumns(s.ctx, 0, 0);
  ASSERT_EQ(2, s.ctx.mappedCount);
  EXPECT_EQ(2, s.ctx.columnMap[0].length);
  EXPECT_EQ(2046, s.ctx.columnMap[1].offset);
  EXPECT_EQ(0, s.ctx.columnMap[1].length);

  // A column count larger than the bytes left: what fits is kept.
  const uint8_t lying[] = {kRowWhole, 0, 9, 1, 'x', 254, 0xFF, 0x7F};
  memcpy(s.ctx.blockBuffer + 2048 - sizeof lying, lying, sizeof lying);
  const uint16_t off = static_cast<uint16_t>(2048 - sizeof lying - d);
  s.ctx.blockBuffer[dir] = static_cast<uint8_t>(off);
  s.ctx.blockBuffer[dir + 1] = static_cast<uint8_t>(off >> 8);
  s.ctx.mappedCount = 0;
  mapNormalColumns(s.ctx, 0, 0);
  EXPECT_EQ(1, s.ctx.mappedCount);

  // A header that does not fit maps nothing.
  s.ctx.blockBuffer[2047] = 0x00;  // flag without L: header wants 9 bytes
  const uint16_t last = static_cast<uint16_t>(2047 - d);
  s.ctx.blockBuffer[dir] = static_cast<uint8_t>(last);
  s.ctx.blockBuffer[dir + 1] = static_cast<uint8_t>(last >> 8);
  s.ctx.mappedCount = 0;
  mapNormalColumns(s.ctx, 0, 0);
  EXPECT_EQ(0, s.ctx.mappedCount);
  EXPECT_EQ(0u, s.ctx.nextPieceRDBA);
}

TEST(DataRowMapping, MapHoldsAtMost256Columns) {
  TestSession s(32768);
  const mkdb::FileImage f = geometry(32768);
  std::vector<mkdb::Value> key(200, str("k")), own(200, str("o"));
  mkdb::RowPiece keyRow = piece(key, kRowK | kRowWhole);
  mkdb::RowPiece member = piece(own, kRowC | kRowWhole);
  mkdb::DataBlockPlan plan;
  plan.tables = {{keyRow}, {member}};
  mkdb::Block b;
  ASSERT_EQ(0, mkdb::encodeRowBlock(f, 5, plan, b));
  memcpy(s.ctx.blockBuffer, b.data(), b.size());
  s.ctx.mappedCount = 0;
  mapNormalColumns(s.ctx, 1, 0);
  EXPECT_EQ(256, s.ctx.mappedCount);
  EXPECT_EQ(kRowC | kRowWhole, s.ctx.rowFlag);
}

TEST(DataRowClusters, MemberRowsCarryTheirKeyColumnsFirst) {
  TestSession s;
  const mkdb::FileImage f = geometry();
  setTypes(s.ctx, {kColVarchar2, kColVarchar2, kColVarchar2});
  mkdb::DataBlockPlan plan;
  plan.objd = 77;
  mkdb::RowPiece key10 = piece({str("K10")}, kRowK | kRowWhole);
  mkdb::RowPiece key20 = piece({str("K20")}, kRowK | kRowWhole);
  std::vector<mkdb::RowPiece> members;
  const int keys[] = {1, 0, 1, 7};  // 7: no such key row
  for (int i = 0; i < 4; i++) {
    mkdb::RowPiece m = piece({str("m" + std::to_string(i)), str("x")}, kRowC | kRowWhole);
    m.clusterKeyIndex = static_cast<uint8_t>(keys[i]);
    members.push_back(m);
  }
  // A member in table 0 whose key row is itself: its key is mapped once.
  mkdb::RowPiece odd = piece({str("30")}, kRowC | kRowWhole);
  odd.clusterKeyIndex = 2;
  plan.tables = {{key10, key20, odd}, members};
  mkdb::Block b;
  ASSERT_EQ(0, mkdb::encodeRowBlock(f, 5, plan, b));
  EXPECT_EQ("K20|m0|x\r\nK10|m1|x\r\nK20|m2|x\r\nm3|x\r\n", decodeBlock(s.ctx, b, 1).text);
  EXPECT_EQ("K10\r\nK20\r\n30|30\r\n", decodeBlock(s.ctx, b, 0).text);
  EXPECT_EQ("", decodeBlock(s.ctx, b, 2).text);  // no third table
}

TEST(DataRowLiveTest, CountDataRows) {
  TestSession s;
  const mkdb::FileImage f = geometry();
  const auto count = [&](const mkdb::Block& b, int t = 0) {
    memcpy(s.ctx.blockBuffer, b.data(), b.size());
    return countDataRows(s.ctx, t);
  };
  EXPECT_EQ(1, count(rowBlock(f, 5, {piece({str("a")})})));
  EXPECT_EQ(0, count(rowBlock(f, 5, {piece({str("a")}, kRowWhole | kRowD)})));
  EXPECT_EQ(0, count(rowBlock(f, 5, {piece({str("a")}, kRowF | kRowL), piece({})})));  // cc 0
  EXPECT_EQ(1, count(rowBlock(f, 5, {piece({str("a")})}), 9));  // the last table
  EXPECT_EQ(0, count(rowBlock(f, 5, {})));

  // An index-organized leaf: opcode 0x10, level 0, one row not deleted.
  mkdb::Block idx = rowBlock(f, 5, {});
  idx[20] = 2;
  memcpy(s.ctx.blockBuffer, idx.data(), idx.size());
  const uint32_t d = getDataBeginOffset(s.ctx);
  std::fill(idx.begin() + d, idx.begin() + d + 40, 0);
  idx[d + 2] = 0x10;
  idx[d + 8] = 2;
  idx[d + 36] = 0x00, idx[d + 37] = 0x10;  // row 0 at D + 0x1000: deleted
  idx[d + 38] = 0x00, idx[d + 39] = 0x11;  // row 1 at D + 0x1100
  idx[d + 0x1000] = 0x01;
  idx[d + 0x1100] = 0x01;
  EXPECT_EQ(0, count(idx));
  idx[d + 0x1100] = 0x00;
  EXPECT_EQ(1, count(idx));
  idx[d + 2] = 0x00;
  EXPECT_EQ(0, count(idx));
}

// ---- blocks read from files: checks, chains, migrated rows ----

class ChainedRows : public testing::Test {
 protected:
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "rows.dbf", 40, 4);

  void SetUp() override { setTypes(s.ctx, {kColNumber, kColNumber, kColNumber, kColVarchar2}); }

  mkdb::RowAddress at(uint32_t block, uint16_t slot) { return {mkdb::blockAddress(f, block), slot}; }
  void put(uint32_t block, const std::vector<mkdb::RowPiece>& rows, uint32_t objd = 77) {
    mkdb::DataBlockPlan plan;
    plan.objd = objd;
    plan.tables.push_back(rows);
    ASSERT_EQ(0, mkdb::addRowBlock(f, block, plan));
  }
  void open() {
    ASSERT_EQ(0, mkdb::writeDataFile(f));
    s.open(dir, f.path + "\n");
  }
  Decoded decodeAt(uint32_t block, int takeDeleted = 0) {
    EXPECT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, 4, block));
    return decodeLoaded(s.ctx, 0, takeDeleted);
  }
  // A row in three pieces: block 10 slot 0, block 11 slot 2, block 12 slot 1.
  void threeBlockChain(uint32_t lastNextBlock = 0, uint16_t lastNextSlot = 0) {
    mkdb::RowPiece a = piece({num("1")}, kRowH | kRowF);
    a.next = at(11, 2);
    mkdb::RowPiece b = piece({num("2")}, 0);
    b.next = at(12, 1);
    mkdb::RowPiece c = piece({num("3"), str("end")}, lastNextBlock ? 0 : kRowL);
    if (lastNextBlock) c.next = at(lastNextBlock, lastNextSlot);
    put(10, {a, piece({num("100")})});
    put(11, {piece({num("110")}), piece({num("111")}), b});
    put(12, {piece({num("120")}), c});
  }
};

TEST_F(ChainedRows, ThreeBlockChainWholeAndCutByMaxChains) {
  threeBlockChain();
  open();
  EXPECT_EQ("1|2|3|end\r\n100\r\n", decodeAt(10).text);
  EXPECT_EQ("110\r\n111\r\n", decodeAt(11).text);  // the middle piece is not a head
  s.ctx.maxChains = 2;
  EXPECT_EQ("1|2|3|end\r\n100\r\n", decodeAt(10).text);
  s.ctx.maxChains = 1;
  const Decoded d = decodeAt(10);
  EXPECT_EQ("1|2|\r\n100\r\n", d.text);
  EXPECT_EQ("Max chained block reached, RDBA=16777226 ...\n", d.messages);
  s.ctx.maxChains = 0;
  s.ctx.verbose = 1;
  EXPECT_EQ("Recover rows from RDBA=16777226 ...\n"
            "Recover rows from chained block RDBA=16777227 ...\n"
            "Recover rows from chained block RDBA=16777228 ...\n",
            decodeAt(10).messages);
}

TEST_F(ChainedRows, ChainsThatLoopBackEndTheirRow) {
  // The last piece points back at the middle piece instead of ending the row.
  threeBlockChain(11, 2);
  open();
  const Decoded d = decodeAt(10);
  EXPECT_EQ(0u, d.text.rfind("1|2|3|end|", 0)) << d.text;
  EXPECT_EQ("\r\n100\r\n", d.text.substr(d.text.size() - 7));
  EXPECT_EQ("Chained row loops back, RDBA=16777226 ...\n", d.messages);
  EXPECT_LT(d.text.size(), 64u);
}

TEST_F(ChainedRows, PieceThatNamesItselfAndHeadThatNamesItself) {
  mkdb::RowPiece self = piece({num("5")}, 0);
  self.next = at(13, 1);
  mkdb::RowPiece head = piece({num("4")}, kRowH | kRowF);
  head.next = at(13, 1);
  mkdb::RowPiece loopHead = piece({}, kRowH);
  loopHead.next = at(13, 2);
  put(13, {head, self, loopHead});
  open();
  const Decoded d = decodeAt(13);
  EXPECT_EQ(2u, s.ctx.rowsUnloaded);
  EXPECT_EQ(0u, d.text.rfind("4|5|", 0));
  EXPECT_EQ(2u, std::count(d.messages.begin(), d.messages.end(), '\n'));
}

TEST_F(ChainedRows, MigratedRowIsWrittenOnceFromItsBody) {
  mkdb::RowPiece head = piece({}, kRowH);
  head.next = at(21, 1);
  mkdb::RowPiece body = piece({num("7"), num("8")}, kRowF | kRowL);
  body.head = at(20, 0);
  put(20, {head, piece({num("9")})});
  put(21, {piece({num("6")}), body});
  open();
  EXPECT_EQ("7|8\r\n9\r\n", decodeAt(20).text);
  EXPECT_EQ("6\r\n", decodeAt(21).text);
  EXPECT_EQ(3u, s.ctx.rowsUnloaded);
}

TEST_F(ChainedRows, UnreadableForeignOrBadNextPiecesEndTheRowEarly) {
  mkdb::RowPiece toMissingFile = piece({num("1")}, kRowH | kRowF);
  toMissingFile.next = {mkdb::makeAddress(9, 3), 0};
  mkdb::RowPiece toOtherObject = piece({num("2")}, kRowH | kRowF);
  toOtherObject.next = at(24, 0);
  mkdb::RowPiece toEmptySlot = piece({num("3")}, kRowH | kRowF);
  toEmptySlot.next = at(25, 5);
  mkdb::RowPiece toCorrupt = piece({num("4")}, kRowH | kRowF);
  toCorrupt.next = at(26, 0);
  mkdb::RowPiece toNothing = piece({num("5")}, kRowH | kRowF);  // next address 0
  put(23, {toMissingFile, toOtherObject, toEmptySlot, toCorrupt, toNothing});
  put(24, {piece({num("99")}, kRowL)}, 78);
  put(25, {piece({num("98")}, kRowL)});
  put(26, {piece({num("97")}, kRowL)});
  open();
  s.corrupt.rdba[s.corrupt.count++] = mkdb::blockAddress(f, 26);
  EXPECT_EQ("1|\r\n2|\r\n3|\r\n4|\r\n5|\r\n", decodeAt(23).text);
}

TEST_F(ChainedRows, BlockMovedToTheNextPieceAddressDoesNotLendItsRow) {
  // Blocks 33 and 34 of the same object trade places on disk, each intact
  // and with a good checksum. The head's next piece address names block 33;
  // what is read there is block 34, whose slot 0 belongs to another row.
  mkdb::RowPiece head = piece({num("1")}, kRowH | kRowF);
  head.next = at(33, 0);
  put(32, {head});
  put(33, {piece({num("2"), str("mine")}, kRowL)});
  put(34, {piece({num("3"), str("other")}, kRowL)});
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  {
    std::fstream io(f.path, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> a(8192), b(8192);
    io.seekg(33 * 8192);
    io.read(a.data(), 8192);
    io.read(b.data(), 8192);
    io.seekp(33 * 8192);
    io.write(b.data(), 8192);
    io.write(a.data(), 8192);
    ASSERT_TRUE(io.good());
  }
  s.open(dir, f.path + "\n");
  EXPECT_EQ("1|\r\n", decodeAt(32).text);
  s.ctx.blockCheck = 1;
  EXPECT_EQ("1|\r\n", decodeAt(32).text);
}

TEST_F(ChainedRows, ColumnSplitAcrossPiecesIsConcatenated) {
  // The head ends with N; the next piece, in the same block, continues the
  // column (P) and ends the row.
  mkdb::RowPiece head = piece({num("9"), str("ABC")}, kRowH | kRowF | kRowN);
  head.next = at(27, 1);
  mkdb::RowPiece middle = piece({str("DEF")}, kRowP | kRowN);
  middle.next = at(28, 0);
  put(27, {head, middle});
  put(28, {piece({str("GHI"), num("4")}, kRowL | kRowP)});
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColNumber});
  EXPECT_EQ("9|ABCDEFGHI|4\r\n", decodeAt(27).text);
}

TEST_F(ChainedRows, CorruptSkippedAndChecksumFailingBlocks) {
  put(30, {piece({num("1")})});
  put(31, {piece({num("2")})});
  open();
  const uint32_t rdba30 = mkdb::blockAddress(f, 30);
  s.corrupt.rdba[s.corrupt.count++] = rdba30;
  Decoded d = decodeAt(30);
  EXPECT_EQ("", d.text);
  EXPECT_EQ("Block check failured at RDBA=0x0100001e=16777246\n", d.messages);
  s.corrupt.count = 0;
  s.skip.rdba[s.skip.count++] = rdba30;
  d = decodeAt(30);
  EXPECT_EQ("", d.text);
  EXPECT_EQ("Block skipped at RDBA=0x0100001e=16777246\n", d.messages);
  s.skip.count = 0;
  EXPECT_EQ("1\r\n", decodeAt(30).text);

  // BLOCK_CHECK: a damaged checksum stops the block only when checking is on.
  ASSERT_EQ(0, mkdb::flipFileByte(f.path, 31ull * 8192 + 8000, 0x01));
  emptyReadAheadCache(s.data);
  EXPECT_EQ("2\r\n", decodeAt(31).text);
  s.ctx.blockCheck = 1;
  d = decodeAt(31);
  EXPECT_EQ("", d.text);
  EXPECT_EQ("Block check failured at RDBA=0x0100001f=16777247\n", d.messages);
}

TEST_F(ChainedRows, ChainedBlockFailingItsChecksumEndsTheRowQuietlyInText) {
  mkdb::RowPiece a = piece({num("1")}, kRowH | kRowF);
  a.next = at(33, 0);
  put(32, {a});
  put(33, {piece({num("2")}, kRowL)});
  open();
  ASSERT_EQ(0, mkdb::flipFileByte(f.path, 33ull * 8192 + 5000, 0x01));
  s.ctx.blockCheck = 1;
  const Decoded d = decodeAt(32);
  EXPECT_EQ("1|\r\n", d.text);
  EXPECT_EQ("", d.messages);
}

}  // namespace
