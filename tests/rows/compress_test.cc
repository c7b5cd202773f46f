// Basic table compression: the header extension, column units, symbol rows
// (nested and circular), runs from the column length table, the column order,
// and whole compressed blocks made by the builder's compressor.
#include <gtest/gtest.h>

#include <random>

#include "rows/compress.h"
#include "tests/support/data_rows_util.h"

using mkdb::inlineUnit;
using mkdb::nullUnit;
using mkdb::runUnit;
using mkdb::symbolUnit;
using mkdb::Unit;

namespace {

OracleBytes bytes(const std::string& s) { return OracleBytes(s.begin(), s.end()); }

mkdb::RowPiece rawPiece(std::vector<uint8_t> raw) {
  mkdb::RowPiece p;
  p.raw = std::move(raw);
  return p;
}

struct CompressedBlock {
  mkdb::DataBlockPlan plan;
  CompressedBlock() {
    plan.objd = 77;
    plan.compressed = true;
    plan.tables.resize(2);
  }
  void symbol(const std::vector<Unit>& units, bool multi) {
    plan.tables[0].push_back(rawPiece(mkdb::encodeSymbolRow(units, multi)));
  }
  void row(const std::vector<Unit>& units, uint8_t flag = mkdb::kRowWhole) {
    plan.tables[1].push_back(rawPiece(mkdb::encodeCompressedRow(flag, 0, units, !plan.compress.lengths.empty())));
  }
  // Loads the block into the session and loads its compression order.
  void load(SessionContext& ctx, const mkdb::FileImage& f) {
    mkdb::Block b;
    ASSERT_EQ(0, mkdb::encodeRowBlock(f, 5, plan, b));
    memcpy(ctx.blockBuffer, b.data(), b.size());
    getCompressOrder(ctx);
  }
};

// The mapped columns of a row as text, NULL shown as "~".
std::vector<std::string> mapped(SessionContext& ctx, int table, int row) {
  ctx.mappedCount = 0;
  mapCompressColumns(ctx, table, row);
  std::vector<std::string> out;
  for (int i = 0; i < ctx.mappedCount; i++) {
    const MappedColumn& m = ctx.columnMap[i];
    out.push_back(m.length == 0 ? "~" : std::string(reinterpret_cast<char*>(ctx.blockBuffer) + m.offset, m.length));
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(CompressHeader, ExtensionLengthMovesTheTableDirectory) {
  TestSession s;
  const mkdb::FileImage f = geometry();
  CompressedBlock c;
  c.load(s.ctx, f);
  const uint32_t d = getDataBeginOffset(s.ctx);
  EXPECT_EQ(8u, getCompressOffset(s.ctx));
  EXPECT_EQ(8u, isCompressTable(s.ctx));
  EXPECT_EQ(d + 14 + 8, getTableDirectoryOffset(s.ctx));

  c.plan.compress.lengths = {0, 3, 6};
  c.plan.compress.order = {2, 0, 1};
  c.plan.compress.mecRows = 4;
  c.load(s.ctx, f);
  EXPECT_EQ(8u + 6 + 3 + 1, getCompressOffset(s.ctx));
  EXPECT_EQ(4u, getCompressMecRows(s.ctx));
  ASSERT_EQ(3, s.ctx.compressLengthCount);
  EXPECT_EQ(6, s.ctx.compressLengths[2]);
  ASSERT_EQ(3, s.ctx.compressOrderCount);
  EXPECT_EQ(2, s.ctx.compressOrder[0]);

  // An uncompressed block has no extension and loads no order.
  memcpy(s.ctx.blockBuffer, rowBlock(f, 5, {piece({str("a")})}).data(), 8192);
  getCompressOrder(s.ctx);
  EXPECT_EQ(0u, getCompressOffset(s.ctx));
  EXPECT_EQ(0, s.ctx.compressOrderCount);
  EXPECT_EQ(d + 14, getTableDirectoryOffset(s.ctx));
}

class CompressUnits : public testing::TestWithParam<uint8_t> {};

TEST_P(CompressUnits, ReferencesInlineValuesAndNulls) {
  TestSession s(8192, GetParam());
  const mkdb::FileImage f = geometry(8192, GetParam());
  CompressedBlock c;
  c.plan.compress.mecRows = 6;
  for (int i = 0; i < 5; i++) c.symbol({inlineUnit(bytes("m" + std::to_string(i)))}, true);
  c.symbol({inlineUnit(bytes("s5a")), inlineUnit(bytes("s5b"))}, true);  // row 5: two columns
  c.row({symbolUnit(5), inlineUnit(bytes("AB")), nullUnit(0xFF)});
  c.row({nullUnit(252), nullUnit(253), nullUnit(254), inlineUnit(OracleBytes(60, 'L'))});
  c.load(s.ctx, f);
  EXPECT_EQ((std::vector<uint8_t>{0x2C, 0, 3, 0x05, 0xCA, 'A', 'B', 0xFF}), c.plan.tables[1][0].raw);
  EXPECT_EQ((Strings{"s5a", "s5b", "AB", "~"}), mapped(s.ctx, 1, 0));
  EXPECT_EQ((Strings{"~", "~", "~", std::string(60, 'L')}), mapped(s.ctx, 1, 1));
  EXPECT_EQ(250, c.plan.tables[1][1].raw[6]);  // a 60-byte value takes the long form
  EXPECT_EQ(mkdb::kRowWhole, s.ctx.rowFlag);
}

TEST_P(CompressUnits, TwoByteReferenceReachesSymbolRow300) {
  TestSession s(8192, GetParam());
  CompressedBlock c;
  for (int i = 0; i < 301; i++) c.symbol({inlineUnit(bytes("v" + std::to_string(i)))}, false);
  c.row({symbolUnit(300), symbolUnit(200)});
  c.load(s.ctx, geometry(8192, GetParam()));
  EXPECT_EQ((std::vector<uint8_t>{0x2C, 0, 2, 251, 0x01, 0x2C, 200}), c.plan.tables[1][0].raw);
  EXPECT_EQ((Strings{"v300", "v200"}), mapped(s.ctx, 1, 0));
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, CompressUnits, testing::Values(mkdb::kLittle, mkdb::kBig));

TEST(CompressSymbols, RowsFromMOnHoldExactlyOneColumn) {
  TestSession s;
  CompressedBlock c;
  c.plan.compress.mecRows = 1;
  c.symbol({inlineUnit(bytes("a")), inlineUnit(bytes("b")), nullUnit()}, true);  // row 0 < M: three
  // Row 1 >= M: two header bytes and one unit; the bytes after it are not units.
  c.plan.tables[0].push_back(rawPiece({0x2C, 0, 0xCA, 'c', 'd', 0xCA, 'e', 'f'}));
  c.row({symbolUnit(0), symbolUnit(1)});
  c.load(s.ctx, geometry());
  EXPECT_EQ((Strings{"a", "b", "~"}), mapped(s.ctx, 0, 0));
  EXPECT_EQ((Strings{"cd"}), mapped(s.ctx, 0, 1));
  EXPECT_EQ((Strings{"a", "b", "~", "cd"}), mapped(s.ctx, 1, 0));
}

TEST(CompressSymbols, NestedReferencesExpandInPlace) {
  TestSession s;
  CompressedBlock c;
  c.plan.compress.mecRows = 2;
  c.symbol({symbolUnit(2), symbolUnit(3)}, true);  // row 0: x, y
  c.symbol({symbolUnit(0), inlineUnit(bytes("z"))}, true);  // row 1: row 0 (two columns), z
  c.plan.tables[0].back().raw[2] = 3;  // row 1 declares three columns
  c.symbol({inlineUnit(bytes("x"))}, false);
  c.symbol({inlineUnit(bytes("y"))}, false);
  c.row({symbolUnit(1), inlineUnit(bytes("w"))});
  c.load(s.ctx, geometry());
  EXPECT_EQ((Strings{"x", "y", "z", "w"}), mapped(s.ctx, 1, 0));
}

TEST(CompressSymbols, CircularAndMissingReferencesBecomeNull) {
  TestSession s;
  CompressedBlock c;
  c.plan.compress.mecRows = 2;
  c.symbol({symbolUnit(1), symbolUnit(0)}, true);  // 0 -> 1 -> 0 -> ...
  c.symbol({symbolUnit(0), symbolUnit(1)}, true);
  c.row({symbolUnit(0), inlineUnit(bytes("end"))});
  c.row({symbolUnit(40), symbolUnit(9000), inlineUnit(bytes("ok"))});  // no such rows
  c.load(s.ctx, geometry());
  // The loop is followed to its depth limit, where the reference turns into
  // the NULL columns it declares; the row goes on after it.
  EXPECT_EQ((Strings{"~", "~", "end"}), mapped(s.ctx, 1, 0));
  EXPECT_EQ((Strings{"~", "~", "ok"}), mapped(s.ctx, 1, 1));
}

TEST(CompressSymbols, WideCircularSymbolTableCostsBoundedWork) {
  // Every symbol row declares 255 columns and is made of references to rows
  // that declare none but are themselves long lists of references.
  TestSession s(32768);
  CompressedBlock c;
  c.plan.compress.mecRows = 3;
  std::vector<Unit> toEmpty(255, symbolUnit(1));
  c.symbol(toEmpty, true);                               // row 0: 255 × row 1
  std::vector<Unit> loops(255, symbolUnit(0));
  c.symbol(loops, true);
  c.plan.tables[0].back().raw[2] = 0;                    // row 1 declares nothing
  c.symbol(toEmpty, true);
  std::vector<Unit> units(255, symbolUnit(0));
  c.row(units);
  c.load(s.ctx, geometry(32768));
  const Strings m = mapped(s.ctx, 1, 0);
  EXPECT_LE(m.size(), 256u);
}

TEST(CompressRuns, LengthTableGivesTheLeadingColumns) {
  TestSession s;
  CompressedBlock c;
  c.plan.compress.lengths = {0, 2, 5, -1};  // columns 0..2 come from the table
  c.row({runUnit({bytes("ab"), bytes("cde")}), inlineUnit(bytes("z"))});
  c.plan.tables[1].back().raw[2] = 2;
  // The run unit says three columns: 2 bytes, 3 bytes, and a negative length (NULL).
  c.plan.tables[1].back().raw[4] = 203;
  c.load(s.ctx, geometry());
  EXPECT_EQ((Strings{"ab", "cde", "~", "z"}), mapped(s.ctx, 1, 0));

  // A negative entry at the start of a run: the base is the last
  // non-negative entry before it.
  CompressedBlock n;
  n.plan.compress.lengths = {0, -1, 4};
  n.row({runUnit({}), runUnit({bytes("wxyz")}), inlineUnit(bytes("q"))});
  n.plan.tables[1].back().raw[4] = 201;  // a run of one column with no data
  n.load(s.ctx, geometry());
  EXPECT_EQ((Strings{"~", "wxyz", "q"}), mapped(s.ctx, 1, 0));
}

TEST(CompressRows, HeadAndNextAddressesOfDataRows) {
  TestSession s;
  CompressedBlock c;
  c.plan.tables[1].push_back(rawPiece(mkdb::encodeCompressedRow(mkdb::kRowH, 0, {inlineUnit(bytes("a"))}, false,
                                                               {0x01020304, 5}, {0x0A0B0C0D, 6})));
  c.load(s.ctx, geometry());
  EXPECT_EQ((Strings{"a"}), mapped(s.ctx, 1, 0));
  EXPECT_EQ(0x01020304u, s.ctx.headRowRDBA);
  EXPECT_EQ(5, s.ctx.headRowSlot);
  EXPECT_EQ(0x0A0B0C0Du, s.ctx.nextPieceRDBA);
  EXPECT_EQ(6, s.ctx.nextPieceSlot);
}

TEST(CompressRows, UnitsRunningPastTheBlockKeepWhatWasMapped) {
  TestSession s(2048);
  CompressedBlock c;
  c.row({inlineUnit(bytes("a"))});
  c.load(s.ctx, geometry(2048));
  // Overwrite the row with units whose data would run past the block.
  const uint32_t start = getRowStart(s.ctx, 1, 0);
  const uint8_t tail[] = {0x2C, 0, 4, 0xC9, 'k', 250, 0x7F, 0xFF};
  const uint32_t at = 2048 - sizeof tail;
  memcpy(s.ctx.blockBuffer + at, tail, sizeof tail);
  const uint32_t dir = getTableDirectoryOffset(s.ctx) + 8 + 2 * 0;  // table 1's only slot
  const uint16_t off = static_cast<uint16_t>(at - getDataBeginOffset(s.ctx));
  s.ctx.blockBuffer[dir] = static_cast<uint8_t>(off);
  s.ctx.blockBuffer[dir + 1] = static_cast<uint8_t>(off >> 8);
  ASSERT_NE(start, getRowStart(s.ctx, 1, 0));
  EXPECT_EQ((Strings{"k"}), mapped(s.ctx, 1, 0));
}

TEST(CompressOutput, ColumnOrderDecidesTheOutputColumns) {
  TestSession s;
  setTypes(s.ctx, {kColNumber, kColVarchar2, kColVarchar2});
  CompressedBlock c;
  c.plan.compress.order = {1, 0, 2};
  c.row({inlineUnit(bytes("x")), inlineUnit(*num("1")), inlineUnit(bytes("y"))});
  mkdb::Block b;
  ASSERT_EQ(0, mkdb::encodeRowBlock(geometry(), 5, c.plan, b));
  EXPECT_EQ("1|x|y\r\n", decodeBlock(s.ctx, b, 0).text);  // rows always come from table 1
  c.plan.compress.order = {1, 5, 2};                    // entry 5 is not mapped: NULL
  ASSERT_EQ(0, mkdb::encodeRowBlock(geometry(), 5, c.plan, b));
  EXPECT_EQ("1||y\r\n", decodeBlock(s.ctx, b, 0).text);
}

// Rows with repeated values, fixed-length leading columns and NULLs, stored
// in another column order by the builder's compressor.
std::vector<mkdb::RowValues> compressibleRows(size_t n) {
  std::vector<mkdb::RowValues> rows;
  for (size_t i = 0; i < n; i++) {
    mkdb::RowValues r;
    r.push_back(encodeOracleDate({2000 + static_cast<int>(i % 20), 1 + static_cast<int>(i % 12), 1, 2, 3, 4}));
    r.push_back(str("CODE" + std::to_string(i % 10)));  // fixed length 5
    r.push_back(num(std::to_string(i / 2)));           // each value twice
    r.push_back(str("city" + std::to_string(i % 7)));
    r.push_back(str("k" + std::to_string(i % 3)));
    r.push_back(str("t" + std::to_string(i / 2)));
    r.push_back(i % 5 == 0 ? null() : str(std::string(1 + i % 30, static_cast<char>('a' + i % 26))));
    rows.push_back(r);
  }
  return rows;
}

std::string text(const mkdb::Value& v) { return v ? std::string(v->begin(), v->end()) : ""; }

std::string expectedText(const std::vector<mkdb::RowValues>& rows, size_t first, size_t count) {
  std::string out;
  for (size_t i = first; i < first + count; i++) {
    const mkdb::RowValues& r = rows[i];
    char date[32];
    const uint8_t* d = r[0]->data();
    snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", (d[0] - 100) * 100 + d[1] - 100, d[2], d[3],
             d[4] - 1, d[5] - 1, d[6] - 1);
    out += date;
    out += "|" + text(r[1]) + "|" + std::to_string(i / 2) + "|" + text(r[3]) + "|" + text(r[4]) + "|" +
           text(r[5]) + "|" + text(r[6]) + "\r\n";
  }
  return out;
}

class CompressedBlocks : public testing::TestWithParam<std::tuple<uint8_t, uint32_t>> {};

TEST_P(CompressedBlocks, BuilderCompressorRoundTrip) {
  const auto [order, size] = GetParam();
  TestSession s(static_cast<uint16_t>(size), order);
  setTypes(s.ctx, {kColDate, kColChar, kColNumber, kColVarchar2, kColVarchar2, kColVarchar2, kColVarchar2});
  mkdb::FileImage f = geometry(size, order);
  const std::vector<mkdb::RowValues> rows = compressibleRows(1200);
  mkdb::CompressOptions options;
  options.storageOrder = {1, 0, 3, 4, 2, 5, 6};
  size_t first = 0;
  uint32_t block = 10;
  bool sawLongReference = false, sawPairs = false, sawRuns = false;
  while (first < rows.size()) {
    const size_t taken = mkdb::addCompressedBlock(f, block, 77, rows, first, options);
    ASSERT_GT(taken, 0u);
    const mkdb::Block& b = f.images[block];
    mkdb::Block image = b;
    mkdb::setChecksum(image);
    const Decoded d = decodeBlock(s.ctx, image);
    ASSERT_EQ(expectedText(rows, first, taken), d.text) << "block " << block;
    sawPairs = sawPairs || getCompressMecRows(s.ctx) > 0;
    sawRuns = sawRuns || s.ctx.compressLengthCount > 0;
    sawLongReference = sawLongReference || getTableRowCount(s.ctx, 0) > 201;
    first += taken;
    block++;
  }
  EXPECT_TRUE(sawPairs);
  EXPECT_TRUE(sawRuns);
  if (size >= 8192) {
    EXPECT_TRUE(sawLongReference);
  }
}

INSTANTIATE_TEST_SUITE_P(OrdersAndSizes, CompressedBlocks,
                         testing::Combine(testing::Values(mkdb::kLittle, mkdb::kBig),
                                          testing::Values(2048u, 8192u, 32768u)));

}  // namespace
