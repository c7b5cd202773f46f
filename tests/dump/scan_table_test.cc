// SCAN TABLE through the built binary: one object line and UNLOAD command
// per table of every object in the extent list, heap tables over several
// extents, cluster tables one command each, and a fresh sample for every
// table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/block_fixture.h"
#include "tests/support/demo_fixture.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

namespace {

mkdb::Value number(int v) {
  OracleBytes b;
  EXPECT_TRUE(encodeOracleNumber(std::to_string(v), b));
  return b;
}
mkdb::Value text(const std::string& s) { return OracleBytes(s.begin(), s.end()); }
mkdb::Value date(int day) {
  OracleDateTime t;
  t.year = 2020;
  t.day = day;
  return encodeOracleDate(t);
}

mkdb::RowPiece piece(std::vector<mkdb::Value> columns, uint8_t flag) {
  mkdb::RowPiece p;
  p.flag = flag;
  p.columns = std::move(columns);
  return p;
}

// Object 80001: 15 rows of 12 columns (NUMBER, VARCHAR, DATE in turn) in
// blocks 20 and 30 of two 2-block extents. Object 80002: a cluster block
// (41) with its key table and two member tables of 2 and 3 rows.
mkdb::FileImage buildObjects(const TempDir& dir) {
  mkdb::FileImage f = dumpFileImage(dir, 2048, mkdb::kBig);
  std::vector<mkdb::TableRow> rows(15);
  for (int i = 0; i < 15; i++)
    for (int c = 0; c < 12; c++)
      rows[i].values.push_back(c % 3 == 0   ? number(i * 10 + c)
                               : c % 3 == 1 ? text("row " + std::to_string(i) + " col " + std::to_string(c))
                                            : date(1 + i));
  mkdb::PackOptions heap;
  heap.objd = 80001;
  EXPECT_EQ(1u, mkdb::packRows(f, 20, {rows.begin(), rows.begin() + 8}, heap).size());
  EXPECT_EQ(1u, mkdb::packRows(f, 30, {rows.begin() + 8, rows.end()}, heap).size());
  mkdb::addDataBlock(f, 21, 80001, 2);
  mkdb::addDataBlock(f, 31, 80001, 2);
  mkdb::DataBlockPlan cluster;
  cluster.objd = 80002;
  const uint8_t member = mkdb::kRowC | mkdb::kRowWhole;
  cluster.tables = {{piece({number(10)}, mkdb::kRowK | mkdb::kRowWhole)},
                    {piece({text("sales dept")}, member), piece({text("other dept")}, member)},
                    {piece({number(7499), text("allen x")}, member),
                     piece({number(7521), text("ward y")}, member),
                     piece({number(7566), text("jones z")}, member)}};
  EXPECT_EQ(0, mkdb::addRowBlock(f, 41, cluster));
  return f;
}

TEST(ScanTable, HeapOverTwoExtentsAndOneCommandPerClusterTable) {
  TempDir dir;
  const mkdb::FileImage f = buildObjects(dir);
  // GUESS_SIZE 10: the heap table's sample stops at 10 rows, and the
  // cluster tables after it are sampled from a counter of their own.
  const std::string out = maskDateLines(runOnFile(
      dir, f, "SET GUESS_SIZE 10\nSCAN EXTENT\nSCAN TABLE TO tables.txt\nSCAN TABLE OBJECT 80002\n"));
  EXPECT_EQ("80001,4,20,2\r\n80001,4,30,2\r\n80002,4,41,1\r\n", dir.read("ZUTDICT/ZUTEXT.TXT"));
  const std::string cluster =
      "## Object = 80002.1, Columns = 2, Sample = 2, Blocks = 1, Size = 0.00 mb\n"
      "UNLOAD OBJECT 80002 CLUSTER 1 COLUMN  \n"
      "       NUMBER VARCHAR TO OBJD0000080002C001.txt; \n\n"
      "## Object = 80002.2, Columns = 3, Sample = 3, Blocks = 1, Size = 0.00 mb\n"
      "UNLOAD OBJECT 80002 CLUSTER 2 COLUMN  \n"
      "       NUMBER NUMBER VARCHAR TO OBJD0000080002C002.txt; \n\n";
  EXPECT_EQ("## Object = 80001.0, Columns = 12, Sample = 10, Blocks = 4, Size = 0.01 mb\n"
            "UNLOAD OBJECT 80001 CLUSTER 0 COLUMN  \n"
            "       NUMBER VARCHAR DATE NUMBER VARCHAR DATE NUMBER VARCHAR DATE NUMBER \n"
            "       VARCHAR DATE TO OBJD0000080001C000.txt; \n\n" +
                cluster,
            dir.read("tables.txt"));
  // OBJECT lists that object alone, on the screen between date lines.
  EXPECT_NE(std::string::npos, out.find("ZUT> <date>\n" + cluster + "<date>\nZUT> "));
}

// Objects whose columns match a table loaded with LOAD TABLE are named.
TEST(ScanTable, NamesTheLoadedTableThatMatches) {
  Demo d;
  const mkdb::DemoTable& emp = d.table("EMP");
  d.session("LOAD TABLE SCOTT\nSCAN EXTENT\nSCAN TABLE TO tables.txt\n");
  const std::string id = std::to_string(emp.dataObjId);
  EXPECT_NE(std::string::npos,
            d.dir.read("tables.txt")
                .find("## UNLOAD TABLE SCOTT.EMP OBJECT " + id + " TO EMP_" + id +
                      ".TXT;\nUNLOAD OBJECT " + id + " CLUSTER 0 COLUMN  \n"));
}

}  // namespace
