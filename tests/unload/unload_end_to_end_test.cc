// Tables written by the builder (a heap table with chained, migrated and
// deleted rows and LONG values over several blocks, a clustered table, an
// index-organized table with overflow pieces) are unloaded from the data
// file through each segment driver, to text and to a whole export dump file.
// The text must be the source rows exactly; the dump is read back with the
// independent dump reader and compared row for row with the source values.
#include <gtest/gtest.h>

#include <random>

#include "export/dmp_writer.h"
#include "unload/unload_drivers.h"
#include "tests/support/data_rows_util.h"
#include "tests/support/dump_rows_util.h"
#include "tools/builder/index_builder.h"

namespace {

constexpr uint16_t kRfn = 5;

// A source row: its values, the text it must come back as, and its dump
// values.
struct Expected {
  std::string text;
  std::vector<std::vector<DmpValue>> rows;
};

struct Table {
  uint32_t objd = 0;
  int tableNumber = 0;
  std::vector<uint8_t> types;
  std::vector<mkdb::Extent> extents;
  uint32_t header = 0;  // segment header block
  Expected expected;
};

std::string timeText(const OracleDateTime& t) {
  char b[40];
  snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

std::string asString(const OracleBytes& b) { return std::string(b.begin(), b.end()); }

// Text and dump values of one row whose stored columns are values (trailing
// NULL columns are not stored) rendered as given.
void expectRow(Expected& e, const std::vector<uint8_t>& types, const mkdb::RowValues& values,
               const std::vector<std::string>& texts) {
  size_t stored = values.size();
  while (stored > 0 && !values[stored - 1]) stored--;
  std::vector<DmpValue> row;
  for (size_t i = 0; i < types.size(); i++) {
    if (i < stored) {
      if (i > 0) e.text += "|";
      if (values[i]) e.text += texts[i];
    }
    const bool isLong = types[i] == kColLong;
    if (i < stored && values[i]) {
      row.push_back(isLong ? dmpLongValue(asString(*values[i])) : dmpText(asString(*values[i])));
    } else if (i < stored && isLong) {
      DmpValue v = dmpLongValue("");
      v.null = true;  // a stored NULL LONG: a long value of one NULL item
      row.push_back(v);
    } else {
      row.push_back(dmpNullValue());
    }
  }
  e.text += "\r\n";
  e.rows.push_back(row);
}

class UnloadEndToEnd : public testing::TestWithParam<std::pair<uint8_t, uint32_t>> {
 protected:
  TempDir dir;
  uint8_t order = GetParam().first;
  uint32_t blockSize = GetParam().second;
  TestSession s{static_cast<uint16_t>(blockSize), order};
  mkdb::FileImage f = builtFile(dir, "e2e.dbf", 500, kRfn, blockSize, order);
  std::mt19937 rng{20240601};
  uint32_t nextFree = 10;

  std::string letters(size_t n) {
    std::string out;
    for (size_t i = 0; i < n; i++) out += static_cast<char>('a' + rng() % 26);
    return out;
  }

  // Extents of up to 8 blocks over [first, end), and a segment header with
  // three extents in it and the rest in extent map blocks.
  void segment(Table& t, uint32_t first, uint32_t end) {
    for (uint32_t b = first; b < end; b += 8) t.extents.push_back(mkdb::extentAt(f, b, std::min(8u, end - b)));
    mkdb::SegmentPlan plan;
    plan.block = t.header = nextFree++;
    plan.objd = t.objd;
    plan.extents = t.extents;
    plan.perBlock = 3;
    for (size_t k = 0; 3 * (k + 1) < t.extents.size(); k++) plan.mapBlocks.push_back(nextFree++);
    ASSERT_EQ(0, mkdb::addSegmentHeader(f, plan));
  }

  Table heapTable() {
    Table t;
    t.objd = 4242;
    t.types = {kColNumber, kColVarchar2, kColLong, kColDate};
    std::vector<mkdb::TableRow> rows;
    for (int i = 0; i < 500; i++) {
      mkdb::TableRow r;
      std::vector<std::string> texts;
      r.values.push_back(num(std::to_string(i)));
      texts.push_back(std::to_string(i));
      const std::string name = letters(1 + rng() % 40);
      r.values.push_back(rng() % 8 == 0 ? null() : str(name));
      texts.push_back(name);
      std::string note = letters(i % 50 == 7 ? 3 * blockSize + rng() % 5000 : 1 + rng() % 30);
      r.values.push_back(rng() % 4 == 0 ? null() : str(note));
      texts.push_back(note);
      const OracleDateTime d{1990 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28),
                             static_cast<int>(rng() % 24), static_cast<int>(rng() % 60), static_cast<int>(rng() % 60)};
      r.values.push_back(rng() % 5 == 0 ? null() : mkdb::Value(encodeOracleDate(d)));
      texts.push_back(timeText(d));
      if (i % 17 == 3) r.placement = mkdb::TableRow::kMigrated;
      if (i % 23 == 5) {
        r.placement = mkdb::TableRow::kChained;
        r.pieces = static_cast<uint8_t>(2 + i % 3);
      }
      r.deleted = i % 31 == 11;
      if (!r.deleted) expectRow(t.expected, t.types, r.values, texts);
      rows.push_back(r);
    }
    mkdb::PackOptions options;
    options.objd = t.objd;
    options.emptySlotEvery = 13;
    const uint32_t first = nextFree + 64;
    const std::vector<uint32_t> blocks = mkdb::packRows(f, first, rows, options);
    EXPECT_FALSE(blocks.empty());
    segment(t, first, blocks.empty() ? first : blocks.back() + 1);
    nextFree = blocks.empty() ? first : blocks.back() + 1;
    return t;
  }

  // Cluster blocks: table 0 the keys, tables 1 and 2 member rows; table 1
  // is the one unloaded, its key column first.
  Table clusterTable() {
    Table t;
    t.objd = 5151;
    t.tableNumber = 1;
    t.types = {kColNumber, kColVarchar2, kColNumber};
    const uint32_t first = nextFree + 64;
    for (uint32_t b = 0; b < 3; b++) {
      mkdb::DataBlockPlan plan;
      plan.objd = t.objd;
      std::vector<mkdb::RowPiece> keys, members, others;
      for (uint8_t k = 0; k < 4; k++) {
        const std::string dept = std::to_string(10 * (4 * b + k + 1));
        keys.push_back(piece({num(dept)}, mkdb::kRowK | mkdb::kRowWhole));
        for (int m = 0; m < 3; m++) {
          const std::string name = letters(1 + rng() % 12), sal = std::to_string(rng() % 9000);
          // The third member's salary is a trailing NULL: not stored.
          mkdb::RowPiece member = piece(m == 2 ? std::vector<mkdb::Value>{str(name)}
                                               : std::vector<mkdb::Value>{str(name), num(sal)},
                                        mkdb::kRowC | mkdb::kRowWhole);
          member.clusterKeyIndex = k;
          members.push_back(member);
          expectRow(t.expected, t.types, {num(dept), str(name), m == 2 ? null() : num(sal)}, {dept, name, sal});
          mkdb::RowPiece other = piece({str("other")}, mkdb::kRowC | mkdb::kRowWhole);
          other.clusterKeyIndex = k;
          others.push_back(other);
        }
      }
      plan.tables = {keys, members, others};
      EXPECT_EQ(0, mkdb::addRowBlock(f, first + b, plan));
    }
    segment(t, first, first + 3);
    nextFree = first + 3;
    return t;
  }

  Table iotTable(mkdb::IotLayout& layout) {
    Table t;
    t.objd = 6161;
    t.types = {kColNumber, kColVarchar2, kColVarchar2, kColVarchar2};
    std::vector<mkdb::IotRow> rows;
    for (int i = 0; i < 120; i++) {
      mkdb::IotRow r;
      const std::string a = letters(1 + rng() % 20), b = letters(rng() % 60), c = letters(1 + rng() % 10);
      r.values = {num(std::to_string(i)), str(a), b.empty() ? null() : str(b), i % 5 == 4 ? null() : str(c)};
      if (i % 3 == 1) r.overflowFrom = 2;
      if (i % 6 == 1 && a.size() > 2) r.splitAt = a.size() / 2;
      r.deleted = i % 29 == 28;
      if (!r.deleted) expectRow(t.expected, t.types, r.values, {std::to_string(i), a, b, c});
      rows.push_back(r);
    }
    mkdb::IotOptions options;
    options.objd = t.objd;
    options.overflowObjd = 6162;
    options.prefixSize = 1;
    options.rowsPerLeaf = 17;
    const uint32_t first = nextFree + 64;
    layout = mkdb::packIndexOrganized(f, first, rows, options);
    EXPECT_FALSE(layout.leaves.empty());
    segment(t, first, first + 1 + static_cast<uint32_t>(layout.leaves.size()));
    nextFree = first + 1 + static_cast<uint32_t>(layout.leaves.size() + layout.overflow.size());
    return t;
  }

  void setTable(const Table& t) {
    memset(s.ctx.columnTypes, 0, sizeof s.ctx.columnTypes);
    for (size_t i = 0; i < t.types.size(); i++) s.ctx.columnTypes[i] = t.types[i];
    s.ctx.columnCount = static_cast<uint16_t>(t.types.size());
    s.ctx.rowsUnloaded = 0;
  }

  enum Driver { kExtentMap, kExtentList, kFullScan };

  void unload(FILE* out, const Table& t, Driver driver) {
    switch (driver) {
      case kExtentMap:
        ASSERT_EQ(s.ctx.blockSize, readBlock(s.set, s.ctx, kRfn, t.header));
        printExtentRows(out, s.ctx, t.objd, t.tableNumber, 0, 0);
        break;
      case kExtentList:
        for (const mkdb::Extent& e : t.extents) {
          printRowByExtent(out, s.ctx, t.objd, t.tableNumber, 0, 0,
                           UnloadExtent{t.objd, kRfn, e.rdba & 0x3FFFFF, e.blocks});
        }
        break;
      case kFullScan:
        scanTableRows(out, s.ctx, t.objd, t.tableNumber, 0, 0, 0, 0);
        break;
    }
  }

  // Unloads the table with the driver to text and to a dump file; checks both.
  void check(const Table& t, Driver driver, bool indexOrganized = false) {
    SCOPED_TRACE(testing::Message() << "objd " << t.objd << " driver " << driver);
    const Expected none;
    const Expected& expected = indexOrganized && driver == kFullScan ? none : t.expected;
    setTable(t);
    s.ctx.outputStyle = 0;
    const Captured text = capture([&](FILE* out) { unload(out, t, driver); });
    EXPECT_EQ(expected.text, text.bytes);
    EXPECT_EQ("", text.messages);
    EXPECT_EQ(expected.rows.size(), s.ctx.rowsUnloaded);

    setTable(t);
    s.ctx.outputStyle = 1;
    const std::string path = dir.file("t.dmp");
    FILE* out = fopen(path.c_str(), "wb+");
    ASSERT_NE(nullptr, out);
    printDmpHeader(out, 873, 2000, "SCOTT");
    printDmpTable(out, "T");
    printDmpCreate(out, "CREATE TABLE \"T\" (\"C\" NUMBER)");
    std::vector<std::string> names;
    std::vector<DmpInsertColumn> columns(t.types.size());
    for (size_t i = 0; i < t.types.size(); i++) names.push_back("C" + std::to_string(i + 1));
    for (size_t i = 0; i < t.types.size(); i++) {
      columns[i].name = names[i].c_str();
      columns[i].typeCode = t.types[i];
    }
    printDmpInsert(out, "T", columns.data(), columns.size());
    printDmpColumnTypes(out, s.ctx, 873);
    printDmpDataBegin(out);
    testing::internal::CaptureStdout();
    unload(out, t, driver);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    printDmpDataEnd(out);
    printDmpTail(out);
    fclose(out);
    DmpFile dump;
    std::string error;
    ASSERT_EQ(0, readDmpFile(path, dump, error)) << error;
    EXPECT_EQ("SCOTT", dump.userName);
    ASSERT_EQ(t.types.size(), dump.columnTypes.size());
    for (size_t i = 0; i < t.types.size(); i++) {
      if (t.types[i] == kColLong) {
        EXPECT_EQ(0x4000, dump.columnTypes[i].length);
      }
    }
    ASSERT_EQ(expected.rows.size(), dump.rows.size());
    for (size_t r = 0; r < dump.rows.size(); r++) ASSERT_EQ(expected.rows[r], dump.rows[r]) << "row " << r;
    s.ctx.outputStyle = 0;
  }
};

TEST_P(UnloadEndToEnd, EveryDriverToTextAndDump) {
  const Table heap = heapTable();
  const Table cluster = clusterTable();
  mkdb::IotLayout layout;
  const Table iot = iotTable(layout);
  ASSERT_LT(nextFree, f.blocks);
  ASSERT_GT(heap.expected.rows.size(), 450u);
  ASSERT_EQ(36u, cluster.expected.rows.size());
  ASSERT_GT(iot.expected.rows.size(), 110u);
  ASSERT_GT(layout.overflow.size(), 0u);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  s.open(dir, f.path + "\n");
  for (Driver d : {kExtentMap, kExtentList, kFullScan}) {
    check(heap, d);
    check(cluster, d);
    check(iot, d, true);
  }
  // The one-block scan takes an index leaf: its rows are the IOT's first 17.
  setTable(iot);
  const Captured leaf =
      capture([&](FILE* out) { scanTableRows(out, s.ctx, iot.objd, 0, 0, 0, kRfn, layout.leaves[0]); });
  EXPECT_EQ(0u, iot.expected.text.find(leaf.bytes));
  EXPECT_GE(s.ctx.rowsUnloaded, 16u);
}

INSTANTIATE_TEST_SUITE_P(OrdersAndSizes, UnloadEndToEnd,
                         testing::Values(std::make_pair(mkdb::kLittle, 8192u), std::make_pair(mkdb::kBig, 2048u),
                                         std::make_pair(mkdb::kLittle, 32768u)));

}  // namespace
