// Configuration file, data file set, identification and the file index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/block_layout.h"
#include "tests/support/session_fixture.h"

namespace {

int loadText(DataFileSet& set, const TempDir& dir, const std::string& text) {
  dir.write("c.cfg", text);
  FILE* f = fopen(dir.file("c.cfg").c_str(), "r");
  int n = loadConfig(set, f);
  fclose(f);
  return n;
}

TEST(ConfigFile, LinesCommentsAndHeaderSizes) {
  TempDir dir;
  DataFileSet* set = new DataFileSet;
  const std::string longName(600, 'n');
  const std::string veryLong(1500, 'v');
  int n = loadText(*set, dir,
                   "  # a comment with words\n"
                   "\t \r\n"
                   "\n"
                   "/data/sys01.dbf\n"
                   "  /dev/raw1   8192  third words here\n"
                   "f3 abc\n"
                   "f4 12xyz\n"
                   "+256\n" +
                       longName + "\n" + veryLong + "\n");
  ASSERT_EQ(8, n);
  EXPECT_STREQ("/data/sys01.dbf", set->entries[0].name);
  EXPECT_EQ(0u, set->entries[0].hsize);
  EXPECT_EQ(1, set->entries[0].rfn);
  EXPECT_STREQ("/dev/raw1", set->entries[1].name);
  EXPECT_EQ(8192u, set->entries[1].hsize);
  EXPECT_EQ(2, set->entries[1].rfn);
  EXPECT_EQ(0u, set->entries[2].hsize);
  EXPECT_EQ(12u, set->entries[3].hsize);
  EXPECT_STREQ("+256", set->entries[4].name);
  EXPECT_EQ(std::string(512, 'n'), set->entries[5].name);
  // A line longer than 1023 characters goes on as a further line.
  EXPECT_EQ(std::string(512, 'v'), set->entries[6].name);
  EXPECT_EQ(std::string(1500 - 1023, 'v'), set->entries[7].name);
  EXPECT_EQ(8, set->entries[7].rfn);
  closeDBFile(*set);
  delete set;
}

TEST(ConfigFile, StopsAt1023EntriesAndForgetsTheLastConfiguration) {
  TempDir dir;
  DataFileSet* set = new DataFileSet;
  std::string text;
  for (int i = 0; i < 1100; i++) text += "file" + std::to_string(i) + " " + std::to_string(i) + "\n";
  EXPECT_EQ(1023, loadText(*set, dir, text));
  EXPECT_STREQ("file1022", set->entries[1022].name);
  EXPECT_EQ(1023, set->entries[1022].rfn);
  set->entries[0].version = 0xA2;
  set->entries[0].blockSize = 8192;
  set->entries[0].tablespace = 3;
  EXPECT_EQ(1, loadText(*set, dir, "other\n"));
  EXPECT_EQ(0, set->entries[0].version);
  EXPECT_EQ(0, set->entries[0].blockSize);
  EXPECT_EQ(0, set->entries[0].tablespace);
  closeDBFile(*set);
  delete set;
}

TEST(DataFileSet, OpenReportsMissingFilesAndSkipsASMNumbers) {
  TempDir dir;
  mkdb::FileImage a = builtFile(dir, "a.dbf", 8);
  ASSERT_EQ(0, mkdb::writeDataFile(a));
  DataFileSet* set = new DataFileSet;
  loadText(*set, dir, a.path + "\n" + dir.file("gone.dbf") + "\n+12\n");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(openDBFile(*set, nullptr));
  EXPECT_EQ("Cannot open file : " + dir.file("gone.dbf") + " \n",
            testing::internal::GetCapturedStdout());
  EXPECT_NE(nullptr, set->entries[0].file);
  EXPECT_EQ(nullptr, set->entries[1].file);
  EXPECT_EQ(nullptr, set->entries[2].file);
  EXPECT_EQ(nullptr, set->entries[2].asmHandle);
  closeDBFile(*set);
  EXPECT_EQ(0, set->count);
  EXPECT_EQ(nullptr, set->entries[0].file);
  delete set;
}

TEST(DataFileSet, IndexFindsTheLaterOfTwoEqualNumbers) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage a = builtFile(dir, "a.dbf", 8, 5), b = builtFile(dir, "b.dbf", 8, 5);
  b.runs[0].objd = 8888;
  // OPEN leaves out a second header with file number 5; b's header names
  // another block size, so only its blocks say 5.
  b.headerBlockSize = 16384;
  mkdb::addFileHeader(b);
  for (auto* f : {&a, &b}) ASSERT_EQ(0, mkdb::writeDataFile(*f));
  s.open(dir, a.path + "\n" + b.path + "\n");
  EXPECT_EQ(1, getFileIndex(*s.set, 5));
  EXPECT_EQ(s.set->lastHit, s.set->slots[5]);
  EXPECT_EQ(0, s.set->slots[5]->next->position);
  EXPECT_EQ(1, getFileIndex(*s.set, 5));
  EXPECT_EQ(-1, getFileIndex(*s.set, 5 + 1024));
  EXPECT_EQ(nullptr, s.set->lastHit);
  // Reads of file 5 come from b.dbf.
  ASSERT_EQ(8192u, readBlock(s.set, s.ctx, 5, 3));
  EXPECT_EQ(8888u, getDataObjectID(s.ctx));
  EXPECT_EQ(0u, readBlock(s.set, s.ctx, 6, 3));
  EXPECT_EQ(nullptr, s.set->lastHit);
}

TEST(Identification, SizeProbeFindsTheLastBlock) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "big.dbf", 10001, 3);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  const uint64_t before = s.set->positionedReads;
  EXPECT_EQ(listingHeading() + "Y    4    3 a2   8192      10000       78     0 " + f.path + "\n",
            s.open(dir, f.path + "\n"));
  // One read identifies, then at most a few dozen probe reads.
  EXPECT_LT(s.set->positionedReads - before, 60u);
}

TEST(Identification, HeaderBlockSizeOtherThanTheSessions) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "odd.dbf", 20, 6);
  f.headerBlockSize = 16384;
  f.tablespace = 9;
  mkdb::addFileHeader(f);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  EXPECT_EQ(listingHeading() + "Y    0    6 a2   8192         19        0     0 " + f.path + "\n",
            s.open(dir, f.path + "\n"));
}

TEST(Identification, FileHeaderFoundAtItsOwnBlockSizeAndByteOrder) {
  TempDir dir;
  std::string config;
  std::vector<FileHeaderLayout> expected;
  for (uint32_t size = 2048; size <= 32768; size *= 2) {
    for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
      const uint16_t rfn = static_cast<uint16_t>(expected.size() + 1);
      mkdb::FileImage f = builtFile(dir, "f" + std::to_string(rfn) + ".dbf", 4, rfn, size, order);
      f.hsize = order == mkdb::kBig ? 4096 : 0;
      ASSERT_EQ(0, mkdb::writeDataFile(f));
      config += f.path + " " + std::to_string(f.hsize) + "\n";
      expected.push_back({true, static_cast<uint16_t>(size), order, rfn});
    }
  }
  // No header: one that names another block size, a file of one block, none.
  mkdb::FileImage odd = builtFile(dir, "odd.dbf", 4, 40);
  odd.headerBlockSize = 4096;
  mkdb::addFileHeader(odd);
  ASSERT_EQ(0, mkdb::writeDataFile(odd));
  dir.write("one.dbf", std::string(8192, '\x0b'));
  config += odd.path + "\n" + dir.file("one.dbf") + "\n" + dir.file("gone.dbf") + "\n";
  expected.insert(expected.end(), 3, FileHeaderLayout{});
  TestSession s;
  s.open(dir, config);
  ASSERT_EQ(expected.size(), s.set->count);
  for (int p = 0; p < s.set->count; p++) {
    const FileHeaderLayout h = findFileHeader(*s.set, nullptr, p);
    EXPECT_EQ(expected[p].found, h.found) << p;
    EXPECT_EQ(expected[p].blockSize, h.blockSize) << p;
    EXPECT_EQ(expected[p].byteOrder, h.byteOrder) << p;
    EXPECT_EQ(expected[p].rfn, h.rfn) << p;
  }
}

TEST(Identification, PassesOverCorruptAndBadBlocks) {
  TempDir dir;
  mkdb::FileImage f = builtFile(dir, "c.dbf", 12, 8);
  f.format = 0x02;  // the header in the old format; the data blocks are written as 0xA2
  mkdb::addFileHeader(f);
  f.format = 0xA2;
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  const std::string tail = "   8192         11        0     0 " + f.path + "\n";
  {
    // Format 0x02 also has the low nibble 2: the header is accepted.
    TestSession s;
    EXPECT_EQ(listingHeading() + "Y    4    8 02" + tail, s.open(dir, f.path + "\n"));
  }
  {
    // With the header on the corrupt list, block 2 (a data block) decides.
    TestSession s;
    s.corrupt.rdba[0] = makeRDBA(8, 1);
    s.corrupt.count = 1;
    EXPECT_EQ(listingHeading() + "Y    0    8 a2" + tail, s.open(dir, f.path + "\n"));
  }
  // Damage the header and block 2: with BLOCK_CHECK block 3 decides.
  ASSERT_EQ(0, mkdb::flipFileByte(f.path, 1 * 8192 + 400, 0x01));
  ASSERT_EQ(0, mkdb::flipFileByte(f.path, 2 * 8192 + 400, 0x01));
  TestSession s;
  s.ctx.blockCheck = 1;
  EXPECT_EQ(listingHeading() + "Y    0    8 a2" + tail, s.open(dir, f.path + "\n"));
  TestSession unchecked;
  EXPECT_EQ(listingHeading() + "Y    4    8 02" + tail, unchecked.open(dir, f.path + "\n"));
}

TEST(Identification, FilesThatIdentifyNothing) {
  TempDir dir;
  TestSession s;
  dir.write("short.dbf", std::string(8000, 'x'));  // shorter than one block
  dir.write("empty.dbf", "");
  mkdb::FileImage f = builtFile(dir, "fmt.dbf", 6, 2);
  f.format = 0x01;  // a format the reader does not know
  mkdb::addFileHeader(f);
  f.runs.clear();
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  EXPECT_EQ(listingHeading() + "N    0    1 00      0          0        0     0 " +
                dir.file("short.dbf") + "\n" + "N    0    2 00      0          0        0     0 " +
                dir.file("empty.dbf") + "\n" + "N    0    3 00      0          0        0     0 " +
                f.path + "\n",
            s.open(dir, dir.file("short.dbf") + "\n" + dir.file("empty.dbf") + "\n" + f.path + "\n"));
  // Unidentified entries stay reachable under position + 1.
  EXPECT_EQ(2, getFileIndex(*s.set, 3));
}

TEST(Identification, OsHeaderAndBigEndianSmallBlocks) {
  TempDir dir;
  TestSession s(2048, kBigEndian);
  mkdb::FileImage f = builtFile(dir, "raw.dbf", 700, 17, 2048, mkdb::kBig);
  f.hsize = 65536;
  f.tablespace = 123;
  mkdb::addFileHeader(f);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("w.cfg"), {f}));
  EXPECT_EQ(listingHeading() + "Y  123   17 a2   2048        699        1 65536 " + f.path + "\n",
            s.open(dir, dir.read("w.cfg")));
  ASSERT_EQ(2048u, readBlock(s.set, s.ctx, 17, 699));
  EXPECT_EQ(makeRDBA(17, 699), getBlockRDBA(s.ctx));
}

TEST(Identification, BigfileRegistersFileZero) {
  TempDir dir;
  TestSession s;
  s.ctx.bigfile = 1;
  mkdb::FileImage f = builtFile(dir, "bf.dbf", 40, 1024);
  f.bigfile = true;
  mkdb::addFileHeader(f);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  EXPECT_EQ(listingHeading() + "Y    4    0 a2   8192         39        0     0 " + f.path + "\n",
            s.open(dir, f.path + "\n"));
  EXPECT_EQ(1024u, s.set->entries[0].absoluteFile);
  EXPECT_EQ(0, getFileIndex(*s.set, 0));
}

}  // namespace
