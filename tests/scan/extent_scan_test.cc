// The block walks over builder files: extent runs, the parallel extent scan
// against the serial one, the segment header search, BIGFILE and files
// sharing a file number; the extent line parser.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "format/block_layout.h"
#include "dump/block_listings.h"
#include "scan/extent_scan.h"
#include "tests/support/scan_files.h"
#include "tests/support/session_fixture.h"

namespace {

// File 4: object 74000 in blocks 130-134 then a segment header at 135, the
// A A B A pattern at 140-143, a zero block, 74000 again at 145-146, a block of
// object 0 (no object: never written, but it ends the run before it), 74000
// at 148, and a run reaching the last block.
mkdb::FileImage extentFile(const TempDir& dir) {
  mkdb::FileImage f = newFile(dir, "users01.dbf", 4, 200);
  mkdb::addDataRun(f, 130, 5, 74000);
  addSegment(f, 135, 74000);
  mkdb::addDataRun(f, 140, 2, 501);
  mkdb::addDataBlock(f, 142, 502, 2);
  mkdb::addDataBlock(f, 143, 501, 2);
  mkdb::addDataRun(f, 145, 2, 74000);
  mkdb::addDataBlock(f, 147, 0, 2);
  mkdb::addDataBlock(f, 148, 74000, 2);
  mkdb::addDataRun(f, 195, 5, 9);
  EXPECT_EQ(0, mkdb::writeDataFile(f));
  return f;
}

const char kExtentLines[] =
    "74000,4,130,5\r\n"
    "501,4,140,2\r\n"
    "502,4,142,1\r\n"
    "501,4,143,1\r\n"
    "74000,4,145,2\r\n"
    "74000,4,148,1\r\n"
    "9,4,195,5\r\n";

TEST(ExtentScan, RunsSplitByObjectChangesAndOtherBlocks) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = extentFile(dir);
  s.open(dir, configOf({f}));
  EXPECT_EQ(kExtentLines, capture([&](FILE* out) { listExtentByFile(out, s.ctx, 0); }));
  // A block that can no longer be read closes the run before it.
  ASSERT_EQ(0, mkdb::truncateFile(f.path, 198 * 8192 + 100));
  emptyReadAheadCache(s.data);
  std::string cut = kExtentLines;
  cut.replace(cut.find("9,4,195,5"), 9, "9,4,195,3");
  EXPECT_EQ(cut, capture([&](FILE* out) { listExtentMap(out, s.ctx); }));
  // Entry positions that are not files write nothing.
  EXPECT_EQ("", capture([&](FILE* out) {
              listExtentByFile(out, s.ctx, 1);
              listExtentByFile(out, s.ctx, -1);
            }));
}

TEST(ExtentScan, ParallelScanMergesThePiecesInWorkerOrder) {
  TempDir dir;
  TestSession s;
  std::vector<mkdb::FileImage> files;
  // Six files: workers 0 and 1 take two each, workers 2 and 3 one.
  for (uint16_t k = 0; k < 6; k++) {
    mkdb::FileImage f = newFile(dir, "f" + std::to_string(k) + ".dbf", 10 + k, 60 + 10 * k);
    mkdb::addDataRun(f, 5 + k, 3 + k, 1000 + k);
    mkdb::addDataRun(f, 20, 4, 2000 + k);
    ASSERT_EQ(0, mkdb::writeDataFile(f));
    files.push_back(f);
  }
  s.open(dir, configOf(files));
  inDirectory(dir, [&] {
    const std::string serial = capture([&](FILE* out) { listExtentMap(out, s.ctx); });
    ASSERT_EQ(12u, static_cast<size_t>(std::count(serial.begin(), serial.end(), '\n')));
    EXPECT_EQ(0, listExtentMapParallel(s.ctx));
    std::string expected;
    for (int k : {0, 4, 1, 5, 2, 3})
      expected += std::to_string(1000 + k) + "," + std::to_string(10 + k) + "," +
                  std::to_string(5 + k) + "," + std::to_string(3 + k) + "\r\n" +
                  std::to_string(2000 + k) + "," + std::to_string(10 + k) + ",20,4\r\n";
    EXPECT_EQ(expected, dir.read("ZUTDICT/ZUTEXT.TXT"));
    // The pieces stay; worker 3 holds file 3 alone.
    EXPECT_EQ("1003,13,8,6\r\n2003,13,20,4\r\n", dir.read("ZUTDICT/ZUTEXT.03.TXT"));
  });
}

TEST(ExtentScan, ParallelScanEqualsSerialAndDropsStalePieces) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = extentFile(dir);
  mkdb::FileImage g = newFile(dir, "g.dbf", 7, 40);
  mkdb::addDataRun(g, 10, 4, 74000);
  ASSERT_EQ(0, mkdb::writeDataFile(g));
  s.open(dir, configOf({f, g}));
  inDirectory(dir, [&] {
    // Pieces of an earlier run with more files must not come back.
    FILE* stale = fopen("ZUTDICT/ZUTEXT.03.TXT", "wb");
    ASSERT_NE(nullptr, stale);
    fputs("1,1,1,1\r\n", stale);
    fclose(stale);
    const std::string serial = capture([&](FILE* out) { listExtentMap(out, s.ctx); });
    EXPECT_EQ(std::string(kExtentLines) + "74000,7,10,4\r\n", serial);
    EXPECT_EQ(0, listExtentMapParallel(s.ctx));
    EXPECT_EQ(serial, dir.read("ZUTDICT/ZUTEXT.TXT"));
    EXPECT_EQ("", dir.read("ZUTDICT/ZUTEXT.03.TXT"));
  });
}

TEST(ExtentScan, EveryWrittenLineParsesBack) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = extentFile(dir);
  s.open(dir, configOf({f}));
  const std::string text = capture([&](FILE* out) { listExtentMap(out, s.ctx); });
  std::vector<OraExtent> parsed;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at) + 1;
    std::string line = text.substr(at, end - at);
    FieldScanner c;
    c.text = line.c_str();
    c.length = static_cast<int32_t>(line.size());
    OraExtent e;
    ASSERT_EQ(0, parseORAEXTENT(e, c)) << line;
    parsed.push_back(e);
    at = end;
  }
  ASSERT_EQ(7u, parsed.size());
  EXPECT_EQ(74000u, parsed[4].objd);
  EXPECT_EQ(4u, parsed[4].file);
  EXPECT_EQ(145u, parsed[4].block);
  EXPECT_EQ(2u, parsed[4].blocks);
}

int parseLine(const std::string& line, OraExtent& e) {
  FieldScanner c;
  c.text = line.c_str();
  c.length = static_cast<int32_t>(line.size());
  return parseORAEXTENT(e, c);
}

TEST(ParseExtent, AcceptsWholeFieldsAndRejectsDamage) {
  OraExtent e;
  ASSERT_EQ(0, parseLine("4294967295,65535,4294967295,7", e));
  EXPECT_EQ(4294967295u, e.objd);
  EXPECT_EQ(65535u, e.file);
  EXPECT_EQ(4294967295u, e.block);
  EXPECT_EQ(7u, e.blocks);
  ASSERT_EQ(0, parseLine("1,2,3,4\n", e));
  EXPECT_EQ(4u, e.blocks);
  ASSERT_EQ(0, parseLine("1,2,3,4,extra\r\n", e)) << "fields after the fourth are not read";

  const std::string rejected[] = {
      "1,2,3",                        // a field missing
      "1,2,,4\r\n",                   // an empty field
      "1,2,3,\r\n",                   // an empty last field
      "1,2,3,4x",                     // not a decimal field
      "-1,2,3,4",                     // a sign is not a digit
      " 1,2,3,4",                     // nor a blank
      "1,65536,3,4",                  // the file number has 16 bits
      "4294967296,1,3,4",             // the object id has 32 bits
      "1,1,3,00000000000000000000004",  // 23 digits: too long to be a field
      "1,1,3,99999999999999999999",   // 20 digits that would wrap 64 bits
      "1,2",                          // under 5 characters
      "1,2,3,4," + std::string(121, '9'),  // over 128 characters
  };
  for (const std::string& line : rejected) EXPECT_EQ(1, parseLine(line, e)) << line;
  EXPECT_EQ(1, parseLine(std::string("1,2\0003,4", 7), e)) << "the line ends at a NUL";
  EXPECT_EQ(0, parseLine("1,2,3,4," + std::string(120, '9'), e)) << "128 characters";
  EXPECT_EQ(0, parseLine("1,1,1,00000000000000000004", e)) << "20 digits are a field";
  EXPECT_EQ(4u, e.blocks);
  FieldScanner none;
  EXPECT_EQ(1, parseORAEXTENT(e, none));
}

TEST(SegmentHeaders, SearchWithAndWithoutAKnownBlock) {
  HeaderFiles h;
  SessionContext& c = h.s.ctx;
  ASSERT_TRUE(scanSegmentHeader(c, 74001, 0));
  EXPECT_EQ(makeRDBA(4, 30), getBlockRDBA(c)) << "the header found stays in the buffer";
  ASSERT_TRUE(scanSegmentHeader(c, 74001, 5));
  EXPECT_EQ(makeRDBA(5, 20), getBlockRDBA(c));
  EXPECT_FALSE(scanSegmentHeader(c, 74002, 0)) << "data blocks are not segment headers";
  EXPECT_TRUE(scanSegmentHeader(c, 74003, 0));

  // A known block is the answer whatever the rest of the files hold.
  EXPECT_TRUE(scanSegmentHeader(stdout, c, 74001, 5, 20));
  EXPECT_EQ(makeRDBA(5, 20), getBlockRDBA(c));
  EXPECT_FALSE(scanSegmentHeader(stdout, c, 74000, 5, 20));
  EXPECT_FALSE(scanSegmentHeader(stdout, c, 74001, 5, 60));
  EXPECT_FALSE(scanSegmentHeader(stdout, c, 74001, 5, 79999));
  // Without a file number the block number alone is not enough: the files
  // are walked.
  EXPECT_TRUE(scanSegmentHeader(stdout, c, 74003, 0, 20));

  // Skip-listed, corrupt-listed and (with BLOCK_CHECK) damaged headers are
  // passed over; the walk finds the next copy.
  h.s.skip.rdba[h.s.skip.count++] = makeRDBA(4, 30);
  ASSERT_TRUE(scanSegmentHeader(c, 74001, 0));
  EXPECT_EQ(makeRDBA(5, 20), getBlockRDBA(c));
  h.s.corrupt.rdba[h.s.corrupt.count++] = makeRDBA(5, 20);
  EXPECT_FALSE(scanSegmentHeader(c, 74001, 0));
  EXPECT_FALSE(scanSegmentHeader(stdout, c, 74001, 5, 20));
  h.s.skip.count = h.s.corrupt.count = 0;
  ASSERT_EQ(0, mkdb::flipFileByte(h.f.path, 30 * 8192 + 3000, 0x01));
  emptyReadAheadCache(h.s.data);
  c.blockCheck = 1;
  ASSERT_TRUE(scanSegmentHeader(c, 74001, 0));
  EXPECT_EQ(makeRDBA(5, 20), getBlockRDBA(c));
  c.blockCheck = 0;
  ASSERT_TRUE(scanSegmentHeader(c, 74001, 0));
  EXPECT_EQ(makeRDBA(4, 30), getBlockRDBA(c));
}

TEST(Bigfile, FileRestrictionsAreIgnoredAndAddressesArePlain) {
  TempDir dir;
  TestSession s;
  s.ctx.bigfile = 1;
  mkdb::FileImage f = newFile(dir, "big.dbf", 1024, 60);
  f.bigfile = true;
  mkdb::addFileHeader(f);
  addSegment(f, 10, 88000);
  mkdb::addDataRun(f, 30, 3, 88000);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  s.open(dir, configOf({f}));
  ASSERT_EQ(0, s.set->entries[0].rfn);
  for (uint16_t file : {0, 1, 1024}) {
    EXPECT_EQ((std::vector<std::string>{"0x0000000a(0/10)"}),
              rdbaLines(capture([&](FILE* out) { listSegmentHeader(out, s.ctx, 0, file); })));
    EXPECT_EQ(1u, rdbaLines(capture([&](FILE* out) { listDataBlock(out, s.ctx, 88000, file, 1); }))
                      .size());
    EXPECT_NE(std::string::npos,
              capture([&](FILE* out) { listDataBlockType(out, s.ctx, file); })
                  .find("type=0x06 (trans data) \n  rdba=0x0000001e, 0x0000001f, 0x00000020\n"));
    EXPECT_TRUE(scanSegmentHeader(s.ctx, 88000, file));
  }
  EXPECT_TRUE(scanSegmentHeader(stdout, s.ctx, 88000, 0, 10)) << "BIGFILE: the block alone names it";
  EXPECT_EQ("88000,0,30,3\r\n", capture([&](FILE* out) { listExtentMap(out, s.ctx); }));
}

TEST(SharedFileNumbers, EachFileIsWalkedOverItsOwnBlocks) {
  // Both files claim file number 4; lookups by number reach the later one,
  // but every walk still reads each file's own blocks.
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = newFile(dir, "a.dbf", 4, 40);
  mkdb::addDataRun(f, 10, 2, 100);
  mkdb::FileImage g = newFile(dir, "b.dbf", 4, 40);
  mkdb::addDataRun(g, 20, 3, 200);
  // OPEN leaves out a second header with file number 4; b's header names
  // another block size, so only its blocks say 4.
  g.headerBlockSize = 16384;
  mkdb::addFileHeader(g);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeDataFile(g));
  s.open(dir, configOf({f, g}));
  EXPECT_EQ("100,4,10,2\r\n200,4,20,3\r\n", capture([&](FILE* out) { listExtentMap(out, s.ctx); }));
  EXPECT_EQ(2u, rdbaLines(capture([&](FILE* out) { listDataBlock(out, s.ctx, 0, 4, 1); })).size());
}

}  // namespace
