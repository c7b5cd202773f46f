// Export dump rows of data blocks: the items around each value, NULLs and
// trailing NULLs, long values, columns split across any number of pieces,
// rows cut short, and every row read back by the independent dump reader.
#include <gtest/gtest.h>

#include "rows/dump_rows.h"
#include "tests/support/data_rows_util.h"
#include "tests/support/dump_rows_util.h"

using mkdb::kRowF;
using mkdb::kRowH;
using mkdb::kRowL;
using mkdb::kRowN;
using mkdb::kRowP;

namespace {

Captured dumpLoaded(SessionContext& ctx, int table = 0) {
  return capture([&](FILE* f) { dumpDataRows2(f, ctx, table, 0, 0); });
}

Captured dumpBlock(SessionContext& ctx, const mkdb::Block& b) {
  memcpy(ctx.blockBuffer, b.data(), std::min<size_t>(ctx.blockSize, b.size()));
  return dumpLoaded(ctx);
}

TEST(DumpRowItems, ValuesNullsAndTrailingNulls) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2, kColNumber, kColDate, kColVarchar2});
  // Three stored columns, the middle one NULL; the last three are not stored.
  const Captured c = dumpBlock(s.ctx, rowBlock(geometry(), 5, {piece({num("1"), null(), str("ABC")})}));
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x02, 0xFE, 0xFF, 0x03, 0x00, 'A', 'B', 'C',
                     0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0x00, 0x00}),
            c.bytes);
  EXPECT_EQ("", c.messages);
  EXPECT_EQ(1u, s.ctx.rowsUnloaded);
  const auto rows = parseRows(s.ctx, c.bytes);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpNullValue(), dmpText("ABC"), dmpNullValue(),
                    dmpNullValue(), dmpNullValue()}),
            rows[0]);
}

TEST(DumpRowItems, LengthsAreLittleEndianWhateverTheByteOrder) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TestSession s(8192, order);
    setTypes(s.ctx, {kColVarchar2, kColNumber});
    const std::string big(300, 'v');
    const Captured c = dumpBlock(s.ctx, rowBlock(geometry(8192, order), 5, {piece({str(big), num("7")})}));
    EXPECT_EQ(bytesOf({0x2C, 0x01}) + big + bytesOf({0x02, 0x00, 0xC1, 0x08, 0x00, 0x00}), c.bytes);
  }
}

TEST(DumpRowItems, LongColumnsAreFramedAndClosedBeforeTheNextColumn) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColLong, kColNumber, kColLongRaw});
  const mkdb::Block b = rowBlock(geometry(), 5,
                                 {piece({num("1"), str("note"), num("2"), str("\x01\x02")}),
                                  piece({num("3"), null(), num("4")})});
  const Captured c = dumpBlock(s.ctx, b);
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x02, 0xFD, 0xFF, 0x04, 0x00, 'n', 'o', 't', 'e', 0x00, 0x00,
                     0x02, 0x00, 0xC1, 0x03, 0xFD, 0xFF, 0x02, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00,
                     // second row: a NULL LONG is a long value holding one NULL item;
                     // the LONG RAW that is not stored is a plain NULL
                     0x02, 0x00, 0xC1, 0x04, 0xFD, 0xFF, 0xFE, 0xFF, 0x00, 0x00,
                     0x02, 0x00, 0xC1, 0x05, 0xFE, 0xFF, 0x00, 0x00}),
            c.bytes);
  const auto rows = parseRows(s.ctx, c.bytes);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpLongValue("note"), dmpText("\xC1\x03"), dmpLongValue("\x01\x02")}),
            rows[0]);
  DmpValue nullLong = dmpLongValue("");
  nullLong.null = true;
  EXPECT_EQ(values({dmpText("\xC1\x04"), nullLong, dmpText("\xC1\x05"), dmpNullValue()}), rows[1]);
}

TEST(DumpRowItems, ColumnsPastTheTableAreNotWritten) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColVarchar2});
  const Captured c = dumpBlock(s.ctx, rowBlock(geometry(), 5, {piece({num("1"), str("a"), str("extra")})}));
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x02, 0x01, 0x00, 'a', 0x00, 0x00}), c.bytes);
}

TEST(DumpRowItems, CompressedBlockRowsComeOutInTableColumnOrder) {
  TestSession s;
  mkdb::FileImage f = geometry();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  std::vector<mkdb::RowValues> rows;
  for (int i = 0; i < 20; i++) rows.push_back({num(std::to_string(i % 3)), str("same"), str("v" + std::to_string(i))});
  mkdb::CompressOptions options;
  options.storageOrder = {2, 0, 1};
  ASSERT_EQ(20u, mkdb::addCompressedBlock(f, 5, 77, rows, 0, options));
  mkdb::setChecksum(f.images[5]);
  const auto parsed = parseRows(s.ctx, dumpBlock(s.ctx, f.images[5]).bytes);
  ASSERT_EQ(20u, parsed.size());
  for (int i = 0; i < 20; i++) {
    const std::string n = i % 3 == 0 ? "\x80" : (i % 3 == 1 ? "\xC1\x02" : "\xC1\x03");
    EXPECT_EQ(values({dmpText(n), dmpText("same"), dmpText("v" + std::to_string(i))}), parsed[i]) << i;
  }
}

// ---- rows over several pieces and blocks ----

class DumpChains : public testing::Test {
 protected:
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "rows.dbf", 80, 4);

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
  Captured dumpAt(uint32_t block) {
    EXPECT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, 4, block));
    return dumpLoaded(s.ctx);
  }
  // A row whose second column is split over `parts` pieces, each in a block
  // of its own starting at `first`, the middle pieces holding only that
  // column; the last piece carries the column's tail and `after`.
  void splitRow(uint32_t first, const std::vector<std::string>& parts, const std::string& after) {
    for (size_t k = 0; k < parts.size(); k++) {
      std::vector<mkdb::Value> cols;
      uint8_t flag = 0;
      if (k == 0) {
        cols = {num("9"), str(parts[k])};
        flag = kRowH | kRowF | kRowN;
      } else if (k + 1 < parts.size()) {
        cols = {str(parts[k])};
        flag = kRowP | kRowN;
      } else {
        cols = {str(parts[k]), str(after)};
        flag = kRowP | kRowL;
      }
      mkdb::RowPiece p = piece(cols, flag);
      if (k + 1 < parts.size()) p.next = at(first + static_cast<uint32_t>(k) + 1, 0);
      put(first + static_cast<uint32_t>(k), {p});
    }
  }
};

TEST_F(DumpChains, ColumnSplitOverManyPiecesIsOneValueAndLaterColumnsKeepTheirPlace) {
  splitRow(10, {"ABC", "DEF", "GHI", "JKL"}, "after");
  splitRow(20, {"abc", "def", "ghi"}, "tail");
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2, kColNumber});
  auto rows = parseRows(s.ctx, dumpAt(10).bytes);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x0A"), dmpText("ABCDEFGHIJKL"), dmpText("after"), dmpNullValue()}), rows[0]);
  // The same split of a LONG column: one long value whose items are the pieces.
  setTypes(s.ctx, {kColNumber, kColLong, kColVarchar2});
  const Captured c = dumpAt(20);
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x0A, 0xFD, 0xFF, 0x03, 0x00, 'a', 'b', 'c', 0x03, 0x00, 'd', 'e', 'f',
                     0x03, 0x00, 'g', 'h', 'i', 0x00, 0x00, 0x04, 0x00, 't', 'a', 'i', 'l', 0x00, 0x00}),
            c.bytes);
  rows = parseRows(s.ctx, c.bytes);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x0A"), dmpLongValue("abcdefghi"), dmpText("tail")}), rows[0]);
}

TEST_F(DumpChains, BuilderSplitsLongValuesAcrossBlocks) {
  // A 20000-byte LONG and a 30000-byte LONG RAW in 8 KiB blocks: several
  // pieces each, the middle ones holding nothing but that column.
  std::vector<mkdb::TableRow> rows(3);
  std::string longText(20000, 0), longRaw(30000, 0);
  for (size_t i = 0; i < longText.size(); i++) longText[i] = static_cast<char>('a' + i % 26);
  for (size_t i = 0; i < longRaw.size(); i++) longRaw[i] = static_cast<char>(i * 7);
  rows[0].values = {num("1"), str(longText), str("after")};
  rows[1].values = {num("2"), null(), str("short")};
  rows[2].values = {num("3"), str(longRaw), null()};
  mkdb::PackOptions options;
  options.objd = 77;
  const std::vector<uint32_t> blocks = mkdb::packRows(f, 40, rows, options);
  ASSERT_GE(blocks.size(), 7u);
  open();
  setTypes(s.ctx, {kColNumber, kColLong, kColVarchar2});
  std::string stream;
  for (uint32_t b : blocks) stream += dumpAt(b).bytes;
  // Row 3's LONG RAW is read as the LONG column's type: the bytes are what counts.
  auto parsed = parseRows(s.ctx, stream);
  ASSERT_EQ(3u, parsed.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpLongValue(longText), dmpText("after")}), parsed[0]);
  DmpValue nullLong = dmpLongValue("");
  nullLong.null = true;
  EXPECT_EQ(values({dmpText("\xC1\x03"), nullLong, dmpText("short")}), parsed[1]);
  EXPECT_EQ(values({dmpText("\xC1\x04"), dmpLongValue(longRaw), dmpNullValue()}), parsed[2]);
}

TEST_F(DumpChains, CarriedValueLongerThanOneItemIsCutNotOverrun) {
  // 14 pieces of 5000 bytes: 70000 bytes of one VARCHAR2 column.
  std::vector<std::string> parts;
  std::string whole;
  for (int k = 0; k < 14; k++) {
    parts.push_back(std::string(5000, static_cast<char>('A' + k)));
    whole += parts.back();
  }
  splitRow(30, parts, "z");
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  const auto rows = parseRows(s.ctx, dumpAt(30).bytes);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x0A"), dmpText(whole.substr(0, kMaxDmpItemLength)), dmpText("z")}), rows[0]);
}

TEST_F(DumpChains, RowsCutShortAreClosedWithWhatTheyHave) {
  // A carried VARCHAR2 and an open LONG, each followed to a block that cannot
  // be read; a row whose chain ends without a next address.
  mkdb::RowPiece carried = piece({num("1"), str("part")}, kRowH | kRowF | kRowN);
  carried.next = {mkdb::makeAddress(9, 3), 0};
  mkdb::RowPiece open1 = piece({num("2"), str("long")}, kRowH | kRowF | kRowN);
  open1.next = {mkdb::makeAddress(9, 3), 0};
  mkdb::RowPiece noNext = piece({num("3")}, kRowH | kRowF);
  put(50, {carried, open1, noNext});
  mkdb::RowPiece toCorrupt = piece({num("4"), str("x")}, kRowH | kRowF);
  toCorrupt.next = at(52, 0);
  put(51, {toCorrupt});
  put(52, {piece({str("never")}, kRowL)});
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColNumber});
  auto rows = parseRows(s.ctx, dumpAt(50).bytes);
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x02"), dmpText("part"), dmpNullValue()}), rows[0]);
  EXPECT_EQ(values({dmpText("\xC1\x03"), dmpText("long"), dmpNullValue()}), rows[1]);
  EXPECT_EQ(values({dmpText("\xC1\x04"), dmpNullValue(), dmpNullValue()}), rows[2]);
  setTypes(s.ctx, {kColNumber, kColLong, kColNumber});
  const Captured c = dumpAt(50);
  EXPECT_EQ(bytesOf({0x02, 0x00, 0xC1, 0x03, 0xFD, 0xFF, 0x04, 0x00, 'l', 'o', 'n', 'g', 0x00, 0x00, 0xFE, 0xFF, 0x00, 0x00}),
            c.bytes.substr(c.bytes.size() - 28, 18));
  rows = parseRows(s.ctx, c.bytes);
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(dmpLongValue("long"), rows[1][1]);
  // A corrupt-listed chained block is reported in the dump form.
  s.corrupt.rdba[s.corrupt.count++] = mkdb::blockAddress(f, 52);
  const Captured bad = dumpAt(51);
  EXPECT_EQ("Block check failured at RDBA=0x01000034=16777268\n", bad.messages);
  rows = parseRows(s.ctx, bad.bytes);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x05"), dmpLongValue("x"), dmpNullValue()}), rows[0]);
}

TEST_F(DumpChains, MigratedRowsAndASplitPieceWithoutItsContinuation) {
  mkdb::RowPiece head = piece({}, kRowH);
  head.next = at(61, 1);
  mkdb::RowPiece body = piece({num("7"), str("body")}, kRowF | kRowL);
  body.head = at(60, 0);
  // The head says its last column continues, but the next piece does not
  // say it continues anything: the column ends as it is.
  mkdb::RowPiece broken = piece({num("8"), str("half")}, kRowH | kRowF | kRowN);
  broken.next = at(61, 2);
  put(60, {head, broken});
  put(61, {piece({num("6")}), body, piece({str("other")}, kRowL)});
  open();
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  const auto rows = parseRows(s.ctx, dumpAt(60).bytes);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(values({dmpText("\xC1\x08"), dmpText("body"), dmpNullValue()}), rows[0]);
  EXPECT_EQ(values({dmpText("\xC1\x09"), dmpText("half"), dmpText("other")}), rows[1]);
}

}  // namespace
