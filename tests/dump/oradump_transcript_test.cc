// ORADUMP at the prompt of the built binary: the ways of naming a block,
// the usage lines, read errors, and counts read from damaged blocks, which
// are cut to what fits in the block.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_fixture.h"
#include "tools/builder/index_builder.h"
#include "tools/builder/row_builder.h"
#include "tools/builder/undo_builder.h"

namespace {

const std::string kUsage =
    "  ORADUMP RDBA     rdba [TO filename]\n"
    "  ORADUMP FILE rfn  BLOCK blockid [TO filename]\n";

// The transcript after OPEN's listing.
std::string afterOpen(const std::string& out) {
  const size_t at = out.find("ZUT> ", out.find("filename\n"));
  return at == std::string::npos ? out : out.substr(at);
}

// Lines of text that begin with prefix.
size_t linesStartingWith(const std::string& text, const std::string& prefix) {
  size_t n = text.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
  return n + countOf(text, "\n" + prefix);
}

TEST(OradumpCommand, UsageReadErrorsAndTheWaysToNameABlock) {
  TempDir dir;
  mkdb::FileImage f = dumpFileImage(dir, 2048, mkdb::kLittle);
  mkdb::addDataBlock(f, 20, 74000, 2);
  const std::string out = afterOpen(runOnFile(
      dir, f,
      "ORADUMP\nORADUMP FILE 4\nORADUMP BLOCK 20\nORADUMP FILE 0 BLOCK 20\n"
      "ORADUMP FILE 4 BLOCK 5000\nORADUMP FILE 9 BLOCK 3\nORADUMP RDBA 0x01000014\n"
      "ORADUMP FILE 4 BLOCK 20 TO by_file.txt\n"));
  const std::string dump = dir.read("by_file.txt");
  ASSERT_EQ(0u, dump.find("RDBA=0x01000014(4/20)=16777236,type=0x06 (trans data),"));
  EXPECT_EQ("ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage +
                "ZUT>   Read Error\nZUT>   Read Error\nZUT> " + dump + "ZUT> ZUT> ",
            out);
}

TEST(OradumpCommand, FileZeroNamesTheBigfileFile) {
  TempDir dir;
  mkdb::FileImage f = dumpFileImage(dir, 2048, mkdb::kBig);
  f.rfn = 1024;
  f.bigfile = true;
  mkdb::addFileHeader(f);
  mkdb::addDataBlock(f, 10, 74000, 2);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f}));
  const RunResult r = runZut(dir.path(), "SET BIGFILE YES\nOPEN db.cfg\nORADUMP FILE 0 BLOCK 10\n");
  EXPECT_NE(std::string::npos,
            r.out.find("ZUT> RDBA=0x0000000a(0/10)=10,type=0x06 (trans data),fmt=0xa2,"));
  const RunResult no = runZut(dir.path(), "OPEN db.cfg\nORADUMP FILE 0 BLOCK 10\n");
  EXPECT_NE(std::string::npos, no.out.find("ZUT> " + kUsage));
  EXPECT_EQ(std::string::npos, no.out.find("RDBA=0x0000000a"));
}

// The clean SCN wrap loses the 12.2 format flag in SCAN DATA's brief
// header as in the full dump.
TEST(OradumpCommand, CleanSCNFlagBitIsNotPartOfTheWrap) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TempDir dir;
    mkdb::FileImage f = dumpFileImage(dir, 2048, order);
    mkdb::putUB2(mkdb::addDataBlock(f, 20, 74000, 2), 32, 0x8000, order);
    runOnFile(dir, f, "SCAN DATA OBJECT 74000 TO scan.txt\nORADUMP FILE 4 BLOCK 20 TO dump.txt\n");
    const std::string segobj = "seg/obj=0x00012110=74000,csc=0x0000.00012344,itc=2,typ=1 - DATA  \n";
    EXPECT_NE(std::string::npos, dir.read("scan.txt").find("\n" + segobj)) << int(order);
    EXPECT_NE(std::string::npos, dir.read("dump.txt").find("\n" + segobj)) << int(order);
  }
}

// Counts that would walk past the block print what fits and say so.
TEST(OradumpCommand, CountsAreCutToTheBlock) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    SCOPED_TRACE(order == mkdb::kLittle ? "little-endian" : "big-endian");
    TempDir dir;
    mkdb::FileImage f = dumpFileImage(dir, 2048, order);
    // Segment header: 242 entries fit from 108 on.
    mkdb::SegmentPlan s;
    s.block = 10;
    s.objd = 5;
    s.extents = {mkdb::extentAt(f, 24, 8)};
    ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
    mkdb::putUB4(f.images[10], 92, 0xFFFFFFFF, order);
    // Data block: table 0 claims 65535 rows; 965 directory entries fit (from 118 on).
    mkdb::DataBlockPlan plan;
    plan.objd = 6;
    plan.tables = {{mkdb::RowPiece()}};
    ASSERT_EQ(0, mkdb::addRowBlock(f, 11, plan));
    mkdb::putUB2(f.images[11], 100 + 14 + 2, 0xFFFF, order);
    // ITL count 255: 83 entries fit.
    mkdb::putUB2(mkdb::addDataBlock(f, 12, 7, 2), 36, 255, order);
    // Index leaf claiming 65535 rows: 956 directory entries fit.
    mkdb::IndexBlockPlan leaf;
    leaf.objd = 8;
    leaf.rowCountOverride = 0xFFFF;
    ASSERT_EQ(0, mkdb::addIndexBlock(f, 13, leaf));
    // Undo header: 242 extents fit; TRANS_COUNT asks for more slots than fit.
    mkdb::UndoHeaderPlan undo;
    undo.mapCountOverride = 100000;
    undo.offset = 300;
    mkdb::addUndoHeader(f, 14, undo);
    runOnFile(dir, f,
              "SET TRANS_COUNT 60000\nORADUMP FILE 4 BLOCK 10 TO seg.txt\n"
              "ORADUMP FILE 4 BLOCK 11 TO rows.txt\nORADUMP FILE 4 BLOCK 12 TO itl.txt\n"
              "ORADUMP FILE 4 BLOCK 13 TO index.txt\nORADUMP FILE 4 BLOCK 14 TO undo.txt\n");
    const std::string seg = dir.read("seg.txt");
    EXPECT_EQ(242u, linesStartingWith(seg, "   4 ") + linesStartingWith(seg, "   0 "));
    EXPECT_NE(std::string::npos, seg.find("\n  extents: 4294967295 stored, only 242 fit in the block\n\n"));
    const std::string rows = dir.read("rows.txt");
    EXPECT_EQ(965u, linesStartingWith(rows, "    row#="));
    EXPECT_NE(std::string::npos, rows.find("\n  row slots: 65535 stored, only 965 fit in the block\n\n"));
    const std::string itl = dir.read("itl.txt");
    EXPECT_EQ(83u, linesStartingWith(itl, "0x"));
    EXPECT_NE(std::string::npos, itl.find("\n  ITL entries: 255 stored, only 83 fit in the block\n"));
    const std::string index = dir.read("index.txt");
    EXPECT_EQ(956u, linesStartingWith(index, "    row#="));
    EXPECT_NE(std::string::npos, index.find("\n  index rows: 65535 stored, only 956 fit in the block\n\n"));
    const std::string u = dir.read("undo.txt");
    EXPECT_NE(std::string::npos, u.find("\n  extents: 100000 stored, only 242 fit in the block\n\n     TCL:"));
    // The table starts at 320: (2048 - 424) / 40 slots fit.
    EXPECT_EQ(40u, linesStartingWith(u, "  0x"));
    EXPECT_NE(std::string::npos, u.find("\n  transaction slots: 60000 stored, only 40 fit in the block\n"));
  }
}

}  // namespace
