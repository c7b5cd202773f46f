// Leaf rows of index-organized tables: header accessors and listing, row
// selection, key and non-key columns, overflow chains in text and dump form,
// and damaged index blocks.
#include <gtest/gtest.h>

#include "format/block_layout.h"
#include "rows/dump_rows.h"
#include "dump/block_listings.h"
#include "rows/index_rows.h"
#include "tests/support/data_rows_util.h"
#include "tests/support/dump_rows_util.h"
#include "tools/builder/index_builder.h"

namespace {

mkdb::IndexRow leafRow(std::vector<mkdb::Value> key, std::vector<mkdb::Value> nonKey = {},
                       uint8_t flag = 0, uint8_t lock = 0) {
  mkdb::IndexRow r;
  r.flag = flag;
  r.lock = lock;
  r.key = std::move(key);
  if (!nonKey.empty()) {
    r.hasNonKey = true;
    r.nonKey.flag = mkdb::kRowH | mkdb::kRowF | mkdb::kRowL;
    r.nonKey.columns = std::move(nonKey);
  }
  return r;
}

mkdb::Block indexBlock(const mkdb::IndexBlockPlan& plan, uint32_t block = 9,
                       const mkdb::FileImage& f = geometry()) {
  mkdb::Block b;
  EXPECT_EQ(0, mkdb::encodeIndexBlock(f, block, plan, b));
  mkdb::setChecksum(b);
  return b;
}

mkdb::IndexBlockPlan leafPlan(std::vector<mkdb::IndexRow> rows, uint8_t keys = 1) {
  mkdb::IndexBlockPlan p;
  p.objd = 88;
  p.keyColumns = keys;
  p.rows = std::move(rows);
  return p;
}

void load(SessionContext& ctx, const mkdb::Block& b) {
  memcpy(ctx.blockBuffer, b.data(), std::min<size_t>(ctx.blockSize, b.size()));
}

Captured text(SessionContext& ctx, int takeDeleted = 0, int committedOnly = 0) {
  return capture([&](FILE* f) { printIndexRow2(f, ctx, takeDeleted, committedOnly); });
}
Captured dump(SessionContext& ctx) {
  return capture([&](FILE* f) { dumpIndexRow2(f, ctx, 0, 0); });
}

TEST(IndexHeader, AccessorsAndListingOfLeafAndBranchBlocks) {
  TestSession s;
  mkdb::IndexBlockPlan plan = leafPlan({leafRow({num("1"), str("a")}), leafRow({num("2"), str("b")}, {}, 1),
                                        leafRow({num("3"), str("c")})},
                                       2);
  plan.next = 0x01000010;
  plan.previous = 0x0100000E;
  plan.prefixSize = 0;
  load(s.ctx, indexBlock(plan));
  // D = 44 + 2 ITLs + 8; three rows of 2 + 3 + 2 bytes under the 4-byte tail.
  const uint32_t d = 100, feo = 8192 - 4 - 21 - d;
  EXPECT_EQ(3u, getIndexRowCount(s.ctx));
  EXPECT_EQ(8192u - 4 - 7 - d, getIndexOffset(s.ctx, 0));
  char middle[96];
  snprintf(middle, sizeof middle, "kdxcofeo=%u=0x%04x\nkdxcoavs=%u\n", feo, feo, feo - 42);
  const std::string expected =
      "kdxcolev=0\nkdxcolok=0\nkdxcoopc=0x10 opcode=16\nkdxconco=2\nkdxcosdc=0\nkdxconro=3\n"
      "kdxcofbo=42=0x002a\n" + std::string(middle) +
      "kdxlespl=0\nkdxlende=1\nkdxlenxt=0x01000010=16777232,kdxleprv=0x0100000e=16777230\n"
      "kdxledsz=0\nkdxlebksz=8088\n";
  EXPECT_EQ(expected, capture([&](FILE* f) { printIndexRowHeader(f, s.ctx); }).bytes);

  mkdb::IndexBlockPlan branch;
  branch.objd = 88;
  branch.level = 1;
  branch.leftmostChild = 0x0100000A;
  branch.children = {{0x0100000B, OracleBytes{0xC1, 0x05}}};
  load(s.ctx, indexBlock(branch));
  const std::string listing = capture([&](FILE* f) { printIndexRowHeader(f, s.ctx); }).bytes;
  EXPECT_NE(std::string::npos, listing.find("kdxcolev=1\n"));
  EXPECT_NE(std::string::npos, listing.find("kdxconro=1\nkdxcofbo=30=0x001e\n"));
  EXPECT_NE(std::string::npos, listing.find("kdxbrlmc=16777226=0x0100000a\nkdxbrsno=0\nkdxbrbksz=8088\n"));
  EXPECT_EQ(std::string::npos, listing.find("kdxlespl"));
  // A branch block is passed over without output.
  setTypes(s.ctx, {kColNumber});
  const Captured c = text(s.ctx);
  EXPECT_EQ("", c.bytes);
  EXPECT_EQ(0u, s.ctx.rowsUnloaded);
}

TEST(IndexRowsText, KeysNonKeyColumnsDeletedRowsAndPrefix) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TestSession s(8192, order);
    setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2, kColNumber});
    mkdb::IndexBlockPlan plan =
        leafPlan({leafRow({num("1"), str("a")}), leafRow({num("2"), str("b")}, {}, mkdb::kIndexDeleted),
                  leafRow({num("3"), str("c")}, {str("x"), num("-4.5")}),
                  leafRow({num("4"), str(std::string(300, 'w'))}, {null(), num("6")})},
                 2);
    plan.prefixSize = 3;
    for (auto& r : plan.rows) r.prefix = {0xFE, 0xFF, 0x07};
    load(s.ctx, indexBlock(plan, 9, geometry(8192, order)));
    const std::string w(300, 'w');
    EXPECT_EQ("1|a\r\n3|c|x|-4.5\r\n4|" + w + "||6\r\n", text(s.ctx).bytes);
    EXPECT_EQ(3u, s.ctx.rowsUnloaded);
    EXPECT_EQ("1|a\r\n2|b\r\n3|c|x|-4.5\r\n4|" + w + "||6\r\n", text(s.ctx, 1).bytes);
    // Row limit, row addresses, index-number prefixes.
    s.ctx.rowsUnloaded = 0;
    s.ctx.rowLimit = 1;
    s.ctx.rowAddress = 1;
    s.ctx.indexNumber = 1;
    EXPECT_EQ("4194313.0.0|C1=1|C2=a\r\n", text(s.ctx).bytes);
  }
}

TEST(IndexRowsText, CommittedOnlyFollowsTheLockingITLAndUnknownTypesWarn) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColNotGiven});
  mkdb::IndexBlockPlan plan = leafPlan({leafRow({num("1")}, {str("A")}, 0, 1), leafRow({num("2")}, {str("B")}, 0, 2),
                                        leafRow({num("3")}, {str("C")}, 0, 3), leafRow({num("4")}, {str("D")})});
  plan.itlFlags = {0x0, 0x8};
  load(s.ctx, indexBlock(plan));
  EXPECT_EQ("2|C2=42\r\n4|C2=44\r\n", text(s.ctx, 0, 1).bytes);
  memset(s.ctx.unknownTypeWarnings, 0, sizeof s.ctx.unknownTypeWarnings);
  const Captured all = text(s.ctx);
  EXPECT_EQ("1|C2=41\r\n2|C2=42\r\n3|C2=43\r\n4|C2=44\r\n", all.bytes);
  EXPECT_EQ("Warnings : UNKNOWN column type 2 at 4194313.0.0 value 0x41\n"
            "Warnings : UNKNOWN column type 2 at 4194313.0.1 value 0x42\n"
            "Warnings : UNKNOWN column type 2 at 4194313.0.2 value 0x43\n"
            "Warnings : UNKNOWN column type 2 at 4194313.0.3 value 0x44\n",
            all.messages);
}

TEST(IndexRowsDump, ValuesAndTrailingNulls) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2, kColDate});
  load(s.ctx, indexBlock(leafPlan({leafRow({num("1")}, {null(), str("v")}), leafRow({num("2")})})));
  const Captured c = dump(s.ctx);
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x02, 0xFE, 0xFF, 0x01, 0x00, 'v', 0xFE, 0xFF, 0x00, 0x00,
                     0x02, 0x00, 0xC1, 0x03, 0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0x00, 0x00}),
            c.bytes);
  EXPECT_EQ(2u, parseRows(s.ctx, c.bytes).size());
}

TEST(IndexRowsDamaged, ImpossibleCountsLengthsAndOffsetsStayInsideTheBlock) {
  TestSession s(2048);
  const mkdb::FileImage f = geometry(2048);
  setTypes(s.ctx, {kColVarchar2, kColVarchar2});
  // Key count 255 over rows of a few bytes; a long length running past the
  // end; a non-key part with 255 columns of NULL bytes; directory entries
  // past the block and a row count far above the directory.
  mkdb::IndexBlockPlan plan = leafPlan({}, 255);
  mkdb::IndexRow shortRow;
  shortRow.raw = {0x00, 0x00, 0x01, 'k'};
  mkdb::IndexRow longLength;
  longLength.raw = {0x00, 0x00, 0xFE, 0xFF, 0x7F, 'x'};
  mkdb::IndexRow many;
  many.raw = {0x04, 0x00};
  many.raw.insert(many.raw.end(), 255, 0xFF);  // 255 NULL keys
  many.raw.insert(many.raw.end(), {0x2C, 0x00, 0xFF});
  many.raw.insert(many.raw.end(), 255, 0xFF);  // 255 NULL non-key columns
  plan.rows = {shortRow, longLength, many};
  plan.rowCountOverride = 0xFFFF;
  mkdb::Block b = indexBlock(plan, 9, f);
  load(s.ctx, b);
  const Captured c = text(s.ctx);
  // The first row keeps its key and a NULL made of the tail; the third its 256 NULLs.
  EXPECT_EQ(0u, c.bytes.rfind("k|\r\n\r\n||\r\n", 0));
  mapIndexColumns(s.ctx, 0, 2);
  EXPECT_EQ(256u, s.ctx.mappedCount);
  // Every directory entry past the block is passed over: the walk ends.
  EXPECT_LT(s.ctx.rowsUnloaded, 2048u);
  const Captured d = dump(s.ctx);
  EXPECT_FALSE(d.bytes.empty());
}

// ---- overflow chains, read from a file ----

class IndexOverflow : public testing::Test {
 protected:
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "iot.dbf", 60, 4);

  void open() {
    ASSERT_EQ(0, mkdb::writeDataFile(f));
    s.open(dir, f.path + "\n");
  }
  void read(uint32_t block) { ASSERT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, 4, block)); }
};

TEST_F(IndexOverflow, NonKeyPartContinuedInOverflowBlocks) {
  std::vector<mkdb::IotRow> rows(4);
  rows[0].values = {num("1"), str("in"), str("out1"), str("out2")};
  rows[0].overflowFrom = 2;
  rows[1].values = {num("2"), str("ABCDEF"), str("z")};  // split after ABC
  rows[1].overflowFrom = 2;
  rows[1].splitAt = 3;
  rows[2].values = {num("3"), str("leaf only")};
  rows[3].values = {num("4"), str("x"), null(), null()};
  rows[3].overflowFrom = 2;  // nothing to put there: stays in the leaf
  mkdb::IotOptions options;
  options.objd = 88;
  options.overflowObjd = 89;
  const mkdb::IotLayout layout = mkdb::packIndexOrganized(f, 10, rows, options);
  ASSERT_EQ(1u, layout.leaves.size());
  ASSERT_EQ(1u, layout.overflow.size());
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2, kColVarchar2});
  read(layout.leaves[0]);
  EXPECT_EQ("1|in|out1|out2\r\n2|ABCDEF|z\r\n3|leaf only\r\n4|x\r\n", text(s.ctx).bytes);
  const auto parsed = parseRows(s.ctx, dump(s.ctx).bytes);
  ASSERT_EQ(4u, parsed.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpText("in"), dmpText("out1"), dmpText("out2")}), parsed[0]);
  EXPECT_EQ(values({dmpText("\xC1\x03"), dmpText("ABCDEF"), dmpText("z"), dmpNullValue()}), parsed[1]);
  EXPECT_EQ(values({dmpText("\xC1\x04"), dmpText("leaf only"), dmpNullValue(), dmpNullValue()}), parsed[2]);
  s.ctx.verbose = 1;
  EXPECT_EQ("Recover rows from RDBA=16777227 ...\n"
            "Recover rows from chained block RDBA=16777228 ...\n"
            "Recover rows from chained block RDBA=16777228 ...\n",
            text(s.ctx).messages);
}

TEST_F(IndexOverflow, UnreadableCorruptAndLoopingOverflowEndTheRow) {
  mkdb::IndexBlockPlan plan = leafPlan({});
  mkdb::IndexRow toMissing = leafRow({num("1")}, {str("a")});
  toMissing.nonKey.flag = mkdb::kRowH | mkdb::kRowF;
  toMissing.nonKey.next = {mkdb::makeAddress(9, 3), 0};
  mkdb::IndexRow toCorrupt = leafRow({num("2")}, {str("b")});
  toCorrupt.nonKey.flag = mkdb::kRowH | mkdb::kRowF;
  toCorrupt.nonKey.next = {mkdb::blockAddress(f, 21), 0};
  mkdb::IndexRow toLoop = leafRow({num("3")}, {str("c")});
  toLoop.nonKey.flag = mkdb::kRowH | mkdb::kRowF;
  toLoop.nonKey.next = {mkdb::blockAddress(f, 22), 0};
  plan.rows = {toMissing, toCorrupt, toLoop};
  ASSERT_EQ(0, mkdb::addIndexBlock(f, 20, plan));
  mkdb::DataBlockPlan corrupt;
  corrupt.objd = 89;
  corrupt.tables.push_back({piece({str("never")}, mkdb::kRowL)});
  ASSERT_EQ(0, mkdb::addRowBlock(f, 21, corrupt));
  mkdb::DataBlockPlan loop;
  loop.objd = 89;
  mkdb::RowPiece self = piece({str("L")}, 0);
  self.next = {mkdb::blockAddress(f, 22), 0};
  loop.tables.push_back({self});
  ASSERT_EQ(0, mkdb::addRowBlock(f, 22, loop));
  open();
  s.corrupt.rdba[s.corrupt.count++] = mkdb::blockAddress(f, 21);
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  read(20);
  const Captured c = text(s.ctx);
  EXPECT_EQ("1|a|\r\n2|b|\r\n3|c|L", c.bytes.substr(0, 17));
  EXPECT_EQ("\r\n", c.bytes.substr(c.bytes.size() - 2));
  EXPECT_LT(c.bytes.size(), 40u);
  EXPECT_EQ(0u, c.messages.find("Block check failured at RDBA=0x01000015=16777237\n"));
  const auto parsed = parseRows(s.ctx, dump(s.ctx).bytes);
  ASSERT_EQ(3u, parsed.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpText("a"), dmpNullValue()}), parsed[0]);
  EXPECT_EQ(values({dmpText("\xC1\x03"), dmpText("b"), dmpNullValue()}), parsed[1]);
  EXPECT_EQ(dmpText("c"), parsed[2][1]);
}

}  // namespace
