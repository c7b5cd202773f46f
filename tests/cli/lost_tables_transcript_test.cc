// Lost tables through the built binary, on a SYSTEM file the builder writes
// with a truncated table (old blocks partly reused), a table in the recycle
// bin and a table dropped with PURGE: SCAN ORPHANS, UNLOAD TABLE ...
// TRUNCATED, the recycle bin in LIST TABLE, DESC and UNLOAD TABLE, and
// UNLOAD OBJECT ... LIKE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/lost_tables.h"

namespace {

struct LostSetup {
  TempDir dir;
  mkdb::LostTablesDatabase db;
  std::string settings;

  explicit LostSetup(uint8_t order = mkdb::kLittle, uint32_t blockSize = 8192) {
    mkdb::LostTablesOptions o;
    o.path = dir.file("system01.dbf");
    o.configName = "system01.dbf";
    o.byteOrder = order;
    o.blockSize = blockSize;
    EXPECT_TRUE(mkdb::buildLostTablesDatabase(o, db));
    EXPECT_EQ(0, mkdb::writeDataFile(db.sys.file));
    EXPECT_EQ(0, mkdb::writeConfigFile(dir.file("sys.cfg"), {db.sys.file}));
    settings = order == mkdb::kBig ? "SET BYTE_ORDER BIG\n" : "";
    settings += "SET BLOCK_SIZE " + std::to_string(blockSize) + "\n";
  }

  // The transcript after the settings and OPEN, dates masked.
  std::string run(const std::string& input) const {
    const std::string start = settings + "OPEN sys.cfg\n";
    const RunResult opened = runZut(dir.path(), start + "EXIT\n");
    const RunResult r = runZut(dir.path(), start + input + "EXIT\n");
    EXPECT_EQ(0, r.status);
    const std::string prefix = opened.out.substr(0, opened.out.size() - 5);
    return maskDateLines(r.out.substr(std::min(prefix.size(), r.out.size())));
  }
  // The dictionary and the extent list, as the recipe makes them.
  void prepare() const {
    run("UNLOAD TABLE DICT$;\nSCAN EXTENT;\n");
  }
};

// The rows of an unload text file, sorted: "|" between values, CR LF after
// each row.
std::vector<std::string> rowsOf(const std::string& text) {
  std::vector<std::string> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(line);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<std::string> expectedRows(const std::vector<mkdb::TextRow>& rows) {
  std::vector<std::string> out;
  for (const mkdb::TextRow& r : rows) {
    std::string line;
    for (size_t i = 0; i < r.size(); i++) line += (i ? "|" : "") + r[i];
    out.push_back(line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string objd(uint32_t n) { return std::to_string(n); }

TEST(LostTablesFixture, TheTruncatedSegmentIsPartlyReused) {
  LostSetup s;
  EXPECT_GE(s.db.oldBlocks.size(), 3u);
  EXPECT_GE(s.db.reusedBlocks.size(), 1u);
  EXPECT_LT(s.db.survivingRows.size(), s.db.oldRows.size());
  EXPECT_GT(s.db.survivingRows.size(), 100u);
  EXPECT_NE(std::string::npos, s.db.sys.expected.recycleBin.find("80020,2,DEPT_HIST,0,1,"))
      << s.db.sys.expected.recycleBin;
}

TEST(LostTables, TruncatedGivesBackEveryRowOfTheOldBlocksNotReused) {
  LostSetup s;
  s.prepare();
  const std::string out = s.run("UNLOAD TABLE SCOTT.STAFF TRUNCATED TO old.txt;\n");
  EXPECT_NE(std::string::npos,
            out.find("  Previous data objects: " + objd(s.db.oldDataObjId) + " (" +
                     std::to_string(s.db.survivingRows.size()) + " rows)\n"))
      << out;
  EXPECT_NE(std::string::npos,
            out.find("Sucessfully unload " + std::to_string(s.db.survivingRows.size()) + " rows"))
      << out;
  EXPECT_EQ(expectedRows(s.db.survivingRows), rowsOf(s.dir.read("old.txt")));

  // OBJECT names the old data object itself: the same rows.
  s.run("UNLOAD TABLE SCOTT.STAFF TRUNCATED OBJECT " + objd(s.db.oldDataObjId) + " TO old2.txt;\n");
  EXPECT_EQ(s.dir.read("old.txt"), s.dir.read("old2.txt"));

  // Without TRUNCATED nothing changes: the table's current rows.
  const std::string now = s.run("UNLOAD TABLE SCOTT.STAFF TO now.txt;\n");
  EXPECT_EQ(std::string::npos, now.find("Previous data objects")) << now;
  EXPECT_EQ(expectedRows(s.db.newRows), rowsOf(s.dir.read("now.txt")));
}

TEST(LostTables, TruncatedInOtherLayouts) {
  for (const auto& [order, size] : {std::pair<uint8_t, uint32_t>{mkdb::kBig, 8192},
                                    std::pair<uint8_t, uint32_t>{mkdb::kLittle, 2048}}) {
    LostSetup s(order, size);
    s.prepare();
    s.run("UNLOAD TABLE SCOTT.STAFF TRUNCATED TO old.txt;\n");
    EXPECT_EQ(expectedRows(s.db.survivingRows), rowsOf(s.dir.read("old.txt")))
        << int(order) << " " << size;
  }
}

TEST(LostTables, TruncatedWithoutAnOrphanSaysSo) {
  LostSetup s;
  s.prepare();
  const std::string out = s.run("UNLOAD TABLE SCOTT." + s.db.binName + " TRUNCATED TO x.txt;\n");
  EXPECT_NE(std::string::npos, out.find("  No orphan data object of ZUTDICT/ZUTEXT.TXT matches"))
      << out;
}

TEST(LostTables, ScanOrphansRanksTheTruncatedAndThePurgedObjects) {
  LostSetup s;
  s.run("UNLOAD TABLE DICT$;\n");
  // No extent list yet: SCAN ORPHANS makes it first.
  const std::string out = s.run("SCAN ORPHANS TO orphans.csv;\n");
  EXPECT_NE(std::string::npos, out.find("  No extent list: running SCAN EXTENT first.\n")) << out;
  const size_t staff = out.find("Orphan OBJD=" + objd(s.db.oldDataObjId) + " ");
  const size_t orders = out.find("Orphan OBJD=" + objd(s.db.purgedDataObjId) + " ");
  ASSERT_NE(std::string::npos, staff) << out;
  ASSERT_NE(std::string::npos, orders) << out;
  EXPECT_EQ(std::string::npos, out.find("Orphan OBJD=" + objd(s.db.newDataObjId) + " "));
  EXPECT_EQ(std::string::npos, out.find("Orphan OBJD=" + objd(s.db.binObjId) + " "));
  EXPECT_NE(std::string::npos, out.find("  2 orphan data objects.\n")) << out;

  const std::string staffBlock = out.substr(staff, out.find("\n\n", staff) - staff);
  EXPECT_NE(std::string::npos, staffBlock.find("  Guessed types: NUMBER VARCHAR DATE\n"))
      << staffBlock;
  EXPECT_NE(std::string::npos,
            staffBlock.find("  Candidate 1: SCOTT.STAFF, Match Count = 3/3, Score = 100%\n"))
      << staffBlock;
  EXPECT_NE(std::string::npos,
            staffBlock.find("  UNLOAD TABLE SCOTT.STAFF OBJECT " + objd(s.db.oldDataObjId) +
                            " TO STAFF_" + objd(s.db.oldDataObjId) + ".txt;"))
      << staffBlock;
  const std::string ordersBlock = out.substr(orders, out.find("\n\n", orders) - orders);
  EXPECT_NE(std::string::npos, ordersBlock.find("  Candidate 1: SCOTT.ORDERS, Match Count = 5/5, "
                                                "Score = 100%\n"))
      << ordersBlock;

  EXPECT_NE(std::string::npos,
            staffBlock.find("  Candidate 2: SCOTT.STAFF_ARCHIVE, Match Count = 3/4, Score = 75%\n"))
      << staffBlock;

  // Sorted by blocks, most first: the purged ORDERS has more.
  auto blocksOf = [&](size_t at) {
    const size_t b = out.find("Blocks=", at);
    return std::stoul(out.substr(b + 7));
  };
  EXPECT_GT(blocksOf(orders), blocksOf(staff));
  EXPECT_LT(orders, staff);

  const std::string csv = s.dir.read("orphans.csv");
  EXPECT_EQ(0u, csv.find("OBJD,KIND,BLOCKS,EXTENTS,ROWS_SAMPLED,COLUMNS,GUESSED_TYPES,BEST_OWNER,"
                         "BEST_TABLE,MATCHES,TABLE_COLUMNS,SCORE,OTHER_CANDIDATES,UNLOAD\n"))
      << csv;
  EXPECT_NE(std::string::npos,
            csv.find("\n" + objd(s.db.purgedDataObjId) + ",TABLE,"))
      << csv;
  EXPECT_NE(std::string::npos, csv.find(",SCOTT,ORDERS,5,5,100,")) << csv;
  EXPECT_NE(std::string::npos, csv.find(",SCOTT,STAFF,3,3,100,SCOTT.STAFF_ARCHIVE:75,")) << csv;

  // The ready-to-run line gives the old rows back.
  s.run("UNLOAD TABLE SCOTT.STAFF OBJECT " + objd(s.db.oldDataObjId) + " TO ready.txt;\n");
  EXPECT_EQ(expectedRows(s.db.survivingRows), rowsOf(s.dir.read("ready.txt")));
}

TEST(LostTables, PurgedTableByObjectLikeAndGuessedColumns) {
  LostSetup s;
  s.prepare();
  s.run("UNLOAD OBJECT " + objd(s.db.purgedDataObjId) + " LIKE SCOTT.ORDERS TO orders.txt;\n");
  EXPECT_EQ(expectedRows(s.db.purgedRows), rowsOf(s.dir.read("orders.txt")));
  s.run("UNLOAD OBJECT " + objd(s.db.purgedDataObjId) +
        " COLUMN NUMBER VARCHAR NUMBER NUMBER DATE TO guessed.txt;\n");
  EXPECT_EQ(s.dir.read("orders.txt"), s.dir.read("guessed.txt"));
  const std::string bad = s.run("UNLOAD OBJECT " + objd(s.db.purgedDataObjId) +
                                " LIKE SCOTT.NO_SUCH TO x.txt;\n");
  EXPECT_NE(std::string::npos, bad.find("  No columns for LIKE SCOTT.NO_SUCH; nothing unloaded.\n"))
      << bad;
}

TEST(LostTables, RecycleBinTableListedDescribedAndUnloadedByItsBinName) {
  LostSetup s;
  s.prepare();
  const std::string bin = s.db.binName;
  EXPECT_EQ(s.db.sys.expected.recycleBin, s.dir.read("ZUTDICT/ZUTRCB.TXT"));
  const std::string list = s.run("LIST TABLE SCOTT;\n");
  EXPECT_NE(std::string::npos,
            list.find(" UNLOAD TABLE SCOTT." + bin + " AS DEPT_HIST TO DEPT_HIST.txt;\n"))
      << list;
  const std::string desc = s.run("DESC SCOTT." + bin + "\n");
  EXPECT_NE(std::string::npos, desc.find("Recycle bin: dropped table SCOTT.DEPT_HIST\n")) << desc;

  s.run("UNLOAD TABLE SCOTT." + bin + " TO dept.txt;\n");
  EXPECT_EQ(expectedRows(s.db.binRows), rowsOf(s.dir.read("dept.txt")));
  // Quoted as in SQL, and with the original name for the scripts.
  s.run("UNLOAD TABLE SCOTT.\"" + bin + "\" AS DEPT_HIST TO dept2.txt;\n");
  EXPECT_EQ(s.dir.read("dept.txt"), s.dir.read("dept2.txt"));
  EXPECT_NE(std::string::npos, s.dir.read("DEPT_HIST_syntax.sql").find("DEPT_HIST"));
}

// UNLOAD USER over the same owner: the table that was never filled has no
// segment; it is said and listed as such, and is no failure.
TEST(LostTables, UnloadUserSaysWhichTableHasNoSegment) {
  LostSetup s;
  s.prepare();
  const std::string out = s.run("UNLOAD USER SCOTT TO out;\n");
  EXPECT_NE(std::string::npos,
            out.find("  SCOTT.STAFF_ARCHIVE has no segment in the dictionary files; nothing to "
                     "unload.\n"))
      << out;
  EXPECT_NE(std::string::npos,
            out.find("Sucessfully unload 4 tables, " +
                     std::to_string(s.db.newRows.size() + s.db.binRows.size()) +
                     " rows (1 of them without a segment;"))
      << out;
  EXPECT_NE(std::string::npos,
            s.dir.read("out/manifest.csv").find("SCOTT,STAFF_ARCHIVE,,0,0,0,SCOTT.STAFF_ARCHIVE.txt,"))
      << s.dir.read("out/manifest.csv");
  EXPECT_NE(std::string::npos, s.dir.read("out/manifest.csv").find(",no segment\r\n"));
}

}  // namespace
