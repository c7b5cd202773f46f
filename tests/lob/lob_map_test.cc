// LOB block and index maps over builder files: runs of LOB blocks, index
// leaf entries, damaged blocks and entries, serial against parallel scans,
// the bucket split and the lookups.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "format/block_layout.h"
#include "lob/lob_map.h"
#include "scan/lob_scan.h"
#include "tests/support/session_fixture.h"
#include "tools/builder/lob_builder.h"

namespace {

mkdb::FileImage newFile(const TempDir& dir, const std::string& name, uint16_t rfn, uint32_t blocks,
                        uint32_t blockSize = 8192, uint8_t order = mkdb::kLittle) {
  mkdb::FileImage f;
  f.path = dir.file(name);
  f.rfn = f.fileNumber = rfn;
  f.blocks = blocks;
  f.blockSize = blockSize;
  f.byteOrder = order;
  mkdb::addFileHeader(f);
  return f;
}

void addLob(mkdb::FileImage& f, uint32_t block, uint32_t objd, const mkdb::LobId& id,
            uint32_t page, uint32_t version, uint8_t type = mkdb::kLobBlockClob) {
  mkdb::LobBlockPlan p;
  p.type = type;
  p.objd = objd;
  p.id = id;
  p.page = page;
  p.version = version;
  p.payload.assign(100, static_cast<uint8_t>(block));
  mkdb::addLobBlock(f, block, p);
}

const mkdb::LobId kA = mkdb::lobIdOf(0x00);
const mkdb::LobId kB = mkdb::lobIdOf(0xA7);
const mkdb::LobId kC = mkdb::lobIdOf(0xF8);

std::string hex(const mkdb::LobId& id) { return mkdb::lobIdHex(id); }

// File 4 of 64 blocks: a run of three blocks of A, a data block, two more of
// A, two pages of B, A again in a later version as a BLOB block, a zero
// block, C of two objects, an index leaf, and a run reaching the last block.
mkdb::FileImage lobFile(const TempDir& dir, uint32_t blockSize, uint8_t order) {
  mkdb::FileImage f = newFile(dir, "lob.dbf", 4, 64, blockSize, order);
  for (uint32_t b : {10u, 11u, 12u}) addLob(f, b, 900, kA, 0, 5);
  mkdb::addDataBlock(f, 13, 900, 2);
  for (uint32_t b : {14u, 15u}) addLob(f, b, 900, kA, 0, 5);
  addLob(f, 16, 900, kB, 0, 1);
  addLob(f, 17, 900, kB, 1, 1);
  addLob(f, 18, 900, kA, 2, 6, mkdb::kLobBlockBlob);
  addLob(f, 20, 901, kC, 0, 1);
  addLob(f, 21, 902, kC, 0, 1);
  EXPECT_EQ(0, mkdb::addLobIndexLeaf(f, 30, 905,
                                      {mkdb::lobIndexEntry(kA, 3, 100),
                                       mkdb::lobIndexEntry(kA, 0, 7, 8192),
                                       mkdb::lobIndexEntry(kB, 1, 0x1234),
                                       mkdb::lobIndexEntry(kC, 0x01020304, 0xFFFF)}));
  for (uint32_t b : {62u, 63u}) addLob(f, b, 77, kB, 3, 9);
  EXPECT_EQ(0, mkdb::writeDataFile(f));
  return f;
}

std::string lobLines(const std::string& rfn) {
  return "900," + hex(kA) + ",0,5," + rfn + ",10,3,\n" +
         "900," + hex(kA) + ",0,5," + rfn + ",14,2,\n" +
         "900," + hex(kB) + ",0,1," + rfn + ",16,1,\n" +
         "900," + hex(kB) + ",1,1," + rfn + ",17,1,\n" +
         "900," + hex(kA) + ",2,6," + rfn + ",18,1,\n" +
         "901," + hex(kC) + ",0,1," + rfn + ",20,1,\n" +
         "902," + hex(kC) + ",0,1," + rfn + ",21,1,\n" +
         "77," + hex(kB) + ",3,9," + rfn + ",62,2,\n";
}

const std::string kIndexLines = "905," + hex(kA) + ",3,100,\n" + "905," + hex(kB) + ",1,4660,\n" +
                                "905," + hex(kC) + ",16909060,65535,\n";

struct Geometry {
  uint32_t blockSize;
  uint8_t order;
};

class LobScanGeometry : public testing::TestWithParam<Geometry> {};

TEST_P(LobScanGeometry, RunsSplitAtOtherBlocksAndIndexLeavesGiveFirstEntries) {
  const Geometry g = GetParam();
  TempDir dir;
  TestSession s(static_cast<uint16_t>(g.blockSize), g.order);
  mkdb::FileImage f = lobFile(dir, g.blockSize, g.order);
  s.open(dir, f.path + "\n");
  std::string blocks, index;
  blocks = capture([&](FILE* bm) {
    index = capture([&](FILE* im) { listLobBlockByFile(bm, im, s.ctx, 0); });
  });
  EXPECT_EQ(lobLines("4"), blocks);
  EXPECT_EQ(kIndexLines, index);
}

INSTANTIATE_TEST_SUITE_P(BlockSizesAndByteOrders, LobScanGeometry,
                         testing::Values(Geometry{8192, mkdb::kLittle}, Geometry{8192, mkdb::kBig},
                                         Geometry{2048, mkdb::kLittle}, Geometry{2048, mkdb::kBig}));

// Feeds blocks one by one to the run builder: LOB blocks of A page 0, an
// unreadable block and a block of another type.
TEST(LobRuns, AnUnreadableBlockStaysInsideTheRunItInterrupts) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = newFile(dir, "x.dbf", 2, 8);
  addLob(f, 2, 300, kA, 0, 1);
  mkdb::addDataBlock(f, 3, 300, 2);
  const std::vector<uint8_t> lob = f.images[2], data = f.images[3];
  auto load = [&](const std::vector<uint8_t>& image) {
    std::copy(image.begin(), image.end(), s.ctx.blockBuffer);
  };
  const std::string out = capture([&](FILE* bm) {
    LobRun run;
    load(lob);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 40, true);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 41, false);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 42, true);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 43, true);
    load(data);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 44, true);
    load(lob);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 45, true);
    addLobMapBlock(bm, nullptr, run, s.ctx, 2, 46, false);
    closeLobRun(bm, run);
    closeLobRun(bm, run);  // a closed run writes nothing more
  });
  // 40 to 43 with 41 unreadable: the run covers all four blocks.
  EXPECT_EQ("300," + hex(kA) + ",0,1,2,40,4,\n" + "300," + hex(kA) + ",0,1,2,45,1,\n", out);
}

TEST(LobRuns, BlocksCutByTheFileEndEndTheRunAtTheLastFullBlock) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = newFile(dir, "cut.dbf", 6, 20);
  for (uint32_t b = 15; b < 20; b++) addLob(f, b, 44, kC, 0, 2);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::truncateFile(f.path, 18 * 8192 + 100));
  s.open(dir, f.path + "\n");
  const std::string out = capture([&](FILE* bm) { listLobBlockByFile(bm, nullptr, s.ctx, 0); });
  EXPECT_EQ("44," + hex(kC) + ",0,2,6,15,3,\n", out);
}

// The index lines of one leaf image loaded into the session.
std::string indexLinesOf(TestSession& s, const mkdb::Block& leaf) {
  std::copy(leaf.begin(), leaf.end(), s.ctx.blockBuffer);
  return capture([&](FILE* im) { listLobByIndex(im, s.ctx); });
}

TEST(LobIndex, DamagedEntriesAreNeverReadPastTheBlock) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = newFile(dir, "i.dbf", 1, 8);
  const std::vector<mkdb::LobIndexEntry> entries = {mkdb::lobIndexEntry(kA, 2, 10),
                                                    mkdb::lobIndexEntry(kB, 3, 11),
                                                    mkdb::lobIndexEntry(kC, 4, 12)};
  auto leaf = [&](const mkdb::IndexBlockPlan& plan) {
    mkdb::Block b;
    EXPECT_EQ(0, mkdb::encodeIndexBlock(f, 5, plan, b));
    return b;
  };
  const std::string all = "7," + hex(kA) + ",2,10,\n7," + hex(kB) + ",3,11,\n7," + hex(kC) + ",4,12,\n";
  mkdb::IndexBlockPlan plan = mkdb::lobIndexLeafPlan(7, entries);
  EXPECT_EQ(all, indexLinesOf(s, leaf(plan)));

  // A LOB id key of 9 bytes ends the look at the block: the entries before
  // it are kept.
  mkdb::IndexBlockPlan shortKey = plan;
  shortKey.rows[1].key[0]->pop_back();
  EXPECT_EQ("7," + hex(kA) + ",2,10,\n", indexLinesOf(s, leaf(shortKey)));
  // An offset key of 5 bytes does too.
  mkdb::IndexBlockPlan longOffset = plan;
  longOffset.rows[0].key[1]->push_back(0);
  EXPECT_EQ("", indexLinesOf(s, leaf(longOffset)));
  // Entries that are not the first of their LOB, or whose data does not
  // begin 00 20 03 00, are passed over.
  mkdb::IndexBlockPlan others = plan;
  others.rows[0].prefix[2] = 0x04;
  others.rows[2].key[1] = OracleBytes{0, 0, 0x20, 0};
  EXPECT_EQ("7," + hex(kB) + ",3,11,\n", indexLinesOf(s, leaf(others)));
  // A row count far beyond the directory: entries past the block are never
  // read, and the first one that does not map ends the look.
  mkdb::IndexBlockPlan count = plan;
  count.rowCountOverride = 0xFFFF;
  EXPECT_EQ(all, indexLinesOf(s, leaf(count)));
  // Not a LOB index leaf: another entry data size, a branch, three key
  // columns, a table data block.
  for (int k = 0; k < 4; k++) {
    mkdb::IndexBlockPlan other = plan;
    if (k == 0) other.prefixSize = 31;
    if (k == 1) other.level = 1;
    if (k == 2) other.keyColumns = 3;
    mkdb::Block b = leaf(other);
    if (k == 3) b[20] = 1;
    EXPECT_EQ("", indexLinesOf(s, b)) << k;
  }
  // The last entry cut by the block end: its key would end past the block.
  mkdb::Block cut = leaf(plan);
  const uint32_t d = 44 + 24 * 2 + 8;
  const uint16_t first = static_cast<uint16_t>(cut[d + 36] | cut[d + 37] << 8);
  cut[d + 36] = static_cast<uint8_t>((8192 - d - 40) & 0xFF);
  cut[d + 37] = static_cast<uint8_t>((8192 - d - 40) >> 8);
  EXPECT_NE(first, cut[d + 36] | cut[d + 37] << 8);
  EXPECT_EQ("", indexLinesOf(s, cut));
}

// True when text is nothing but lines of comma-ended fields, one field per
// letter of shape: 'N' a number of one digit or more, 'H' 20 hexadecimal
// digits (a LOB id). No text at all is true too.
bool linesOfShape(const std::string& text, const std::string& shape) {
  const auto digits = [](const std::string& f) {
    return !f.empty() && f.find_first_not_of("0123456789") == std::string::npos;
  };
  const auto lobId = [](const std::string& f) {
    return f.size() == 20 && f.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  };
  for (size_t at = 0; at < text.size();) {
    for (const char kind : shape) {
      const size_t comma = text.find(',', at);
      if (comma == std::string::npos) return false;
      const std::string field = text.substr(at, comma - at);
      if (!(kind == 'H' ? lobId(field) : digits(field))) return false;
      at = comma + 1;
    }
    if (at >= text.size() || text[at] != '\n') return false;
    at++;
  }
  return true;
}

TEST(LobIndex, RandomDamageWritesOnlyWellFormedLines) {
  TempDir dir;
  TestSession s(2048);
  mkdb::FileImage f = newFile(dir, "r.dbf", 1, 8, 2048);
  std::vector<mkdb::LobIndexEntry> entries;
  for (uint8_t k = 0; k < 12; k++) entries.push_back(mkdb::lobIndexEntry(mkdb::lobIdOf(k), k, k));
  mkdb::Block leaf;
  ASSERT_EQ(0, mkdb::encodeIndexBlock(f, 5, mkdb::lobIndexLeafPlan(7, entries), leaf));
  addLob(f, 6, 3, kA, 0, 1);
  const mkdb::Block lob = f.images[6];
  const std::string indexLine = "NHNN", blockLine = "NHNNNNN";
  std::mt19937 rng(4242);
  for (int round = 0; round < 400; round++) {
    mkdb::Block a = leaf, b = lob;
    for (int k = 0; k < 8; k++) {
      a[rng() % a.size()] = static_cast<uint8_t>(rng());
      b[rng() % b.size()] = static_cast<uint8_t>(rng());
    }
    const std::string index = indexLinesOf(s, a);
    EXPECT_TRUE(linesOfShape(index, indexLine)) << round;
    std::copy(b.begin(), b.end(), s.ctx.blockBuffer);
    const std::string blocks = capture([&](FILE* bm) {
      LobRun run;
      addLobMapBlock(bm, nullptr, run, s.ctx, 1, 6, true);
      closeLobRun(bm, run);
    });
    EXPECT_TRUE(linesOfShape(blocks, blockLine)) << round;
  }
}

TEST(LobScan, ParallelScanWritesWhatTheSerialScanWrites) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = lobFile(dir, 8192, mkdb::kLittle);
  mkdb::FileImage g = newFile(dir, "two.dbf", 5, 30);
  addLob(g, 4, 910, kC, 0, 3);
  addLob(g, 5, 910, kC, 0, 3);
  ASSERT_EQ(0, mkdb::addLobIndexLeaf(g, 9, 911, {mkdb::lobIndexEntry(kC, 1, 2)}));
  ASSERT_EQ(0, mkdb::writeDataFile(g));
  s.open(dir, f.path + "\n" + g.path + "\n");
  const std::string gLines = "910," + hex(kC) + ",0,3,5,4,2,\n";
  const std::string gIndex = "911," + hex(kC) + ",1,2,\n";
  inDirectory(dir, [&] {
    listLobBlockMap(s.ctx);
    const std::string serialBlocks = dir.read("ZUTDICT/ZUTLOB.TXT");
    const std::string serialIndex = dir.read("ZUTDICT/LOBIDX.TXT");
    EXPECT_EQ(lobLines("4") + gLines, serialBlocks);
    EXPECT_EQ(kIndexLines + gIndex, serialIndex);
    std::vector<std::string> buckets;
    for (int i = 0; i < kLobBuckets; i++) {
      char a[64], b[64];
      lobBlockBucketPath(i, a, sizeof a);
      lobIndexBucketPath(i, b, sizeof b);
      buckets.push_back(dir.read(a) + "|" + dir.read(b));
    }
    // A stale piece of an earlier run must not come back.
    FILE* stale = fopen("ZUTDICT/ZUTLOB.03.TXT", "wb");
    ASSERT_NE(nullptr, stale);
    fputs("1,00000000000000000000,0,0,1,1,1,\n", stale);
    fclose(stale);
    ASSERT_EQ(0, unlink("ZUTDICT/ZUTLOB.TXT"));
    for (int i = 0; i < kLobBuckets; i++) {
      char a[64];
      lobBlockBucketPath(i, a, sizeof a);
      ASSERT_EQ(0, unlink(a));
    }
    EXPECT_EQ(0, listLobBlockMapParallel(s.ctx));
    EXPECT_EQ(serialBlocks, dir.read("ZUTDICT/ZUTLOB.TXT"));
    EXPECT_EQ(serialIndex, dir.read("ZUTDICT/LOBIDX.TXT"));
    EXPECT_EQ(gLines, dir.read("ZUTDICT/ZUTLOB.01.TXT"));
    EXPECT_EQ(gIndex, dir.read("ZUTDICT/LOBIDX.01.TXT"));
    // Two files: workers 2 and 3 write empty pieces.
    for (const char* piece : {"ZUTDICT/ZUTLOB.02.TXT", "ZUTDICT/ZUTLOB.03.TXT",
                              "ZUTDICT/LOBIDX.02.TXT", "ZUTDICT/LOBIDX.03.TXT"}) {
      struct stat st;
      ASSERT_EQ(0, stat(piece, &st)) << piece;
      EXPECT_EQ(0, st.st_size) << piece;
    }
    for (int i = 0; i < kLobBuckets; i++) {
      char a[64], b[64];
      lobBlockBucketPath(i, a, sizeof a);
      lobIndexBucketPath(i, b, sizeof b);
      EXPECT_EQ(buckets[static_cast<size_t>(i)], dir.read(a) + "|" + dir.read(b)) << i;
    }
  });
}

TEST(LobScan, WithoutBothMapFilesNothingIsScanned) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = lobFile(dir, 8192, mkdb::kLittle);
  s.open(dir, f.path + "\n");
  inDirectory(dir, [&] {
    // LOBIDX.TXT cannot be created: a directory holds its name.
    ASSERT_EQ(0, mkdir("ZUTDICT/LOBIDX.TXT", 0777));
    listLobBlockMap(s.ctx);
    struct stat st;
    ASSERT_EQ(0, stat("ZUTDICT/ZUTLOB.TXT", &st));
    EXPECT_EQ(0, st.st_size);
    // The buckets are still rebuilt, from the empty block map.
    ASSERT_EQ(0, stat("ZUTDICT/ZUTLOBMAP55.TXT", &st));
    EXPECT_EQ(0, st.st_size);
    ASSERT_EQ(0, rmdir("ZUTDICT/LOBIDX.TXT"));
  });
}

TEST(LobScan, AWorkerThatCannotWriteItsPiecesIsReportedAndTheRestMerged) {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = lobFile(dir, 8192, mkdb::kLittle);
  s.open(dir, f.path + "\n");
  inDirectory(dir, [&] {
    // A directory in the place of worker 2's index piece.
    ASSERT_EQ(0, mkdir("ZUTDICT/LOBIDX.02.TXT", 0777));
    testing::internal::CaptureStdout();
    const int failed = listLobBlockMapParallel(s.ctx);
    EXPECT_EQ("  LOB scan worker 2 failed; its part of the LOB maps may be missing.\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(1, failed);
    EXPECT_EQ(lobLines("4"), dir.read("ZUTDICT/ZUTLOB.TXT"));
    EXPECT_EQ(kIndexLines, dir.read("ZUTDICT/LOBIDX.TXT"));
    ASSERT_EQ(0, rmdir("ZUTDICT/LOBIDX.02.TXT"));
  });
}

TEST(LobBucket, TheHashOfCharactersElevenToTwenty) {
  // Reference values from a separate implementation of the hash steps.
  EXPECT_EQ(71u, getLobBucket("00000000000000000000"));
  EXPECT_EQ(27u, getLobBucket("0102030405060708090A"));
  EXPECT_EQ(7u, getLobBucket("FFFFFFFFFFFFFFFFFFFF"));
  EXPECT_EQ(10u, getLobBucket("0000000100000ABC1234"));
  EXPECT_EQ(55u, getLobBucket("A1B2C3D4E5F60718293A"));
  // The first ten characters, and the third and seventh of the last ten,
  // never count.
  EXPECT_EQ(getLobBucket("A1B2C3D4E5F60718293A"), getLobBucket("00000000E5F60718293A"));
  EXPECT_EQ(getLobBucket("A1B2C3D4E5F60718293A"), getLobBucket("A1B2C3D4E5F69718793A"));
}

std::string bucketFile(const TempDir& dir, bool index, uint32_t bucket) {
  char path[64];
  (index ? lobIndexBucketPath : lobBlockBucketPath)(static_cast<int>(bucket), path, sizeof path);
  return dir.read(path);
}

TEST(LobBucket, LinesGoWholeToTheBucketOfTheirLobId) {
  TempDir dir;
  ASSERT_EQ(0, mkdir(dir.file("ZUTDICT").c_str(), 0777));
  const std::string a = "900,A1B2C3D4E5F60718293A,0,5,4,10,3,\n";
  const std::string b = "900,0102030405060708090A,0,5,4,14,2,\n";
  const std::string lead = ",,5,0102030405060708090A,1,1,4,16,1,\n";
  const std::string longId = "6,A1B2C3D4E5F60718293AFF,1,2,3,4,5,\n";
  dir.write("ZUTDICT/ZUTLOB.TXT", a + "1,2,3\n" + b + "9,ABCDEF,0,0,0,0,0,\n" + lead + longId +
                                      "7," + std::string(600, 'C') + ",1,1,1,1,1,\n");
  dir.write("ZUTDICT/LOBIDX.TXT", "905,A1B2C3D4E5F60718293A,3,100,\n");
  inDirectory(dir, [&] {
    hashLobBlockMap();
    hashLobIndexMap();
  });
  EXPECT_EQ(a + longId, bucketFile(dir, false, 55));
  EXPECT_EQ(b + lead, bucketFile(dir, false, 27));
  EXPECT_EQ("905,A1B2C3D4E5F60718293A,3,100,\n", bucketFile(dir, true, 55));
  size_t total = 0;
  for (uint32_t i = 0; i < kLobBuckets; i++) total += bucketFile(dir, false, i).size();
  const std::string longLine = "7," + std::string(600, 'C') + ",1,1,1,1,1,\n";
  EXPECT_EQ(a.size() + b.size() + lead.size() + longId.size() + longLine.size(), total);
  EXPECT_EQ(longLine, bucketFile(dir, false, getLobBucket(longLine.c_str() + 2)));
}

TEST(LobLookup, HighestVersionPerPageAndFirstIndexLine) {
  TempDir dir;
  ASSERT_EQ(0, mkdir(dir.file("ZUTDICT").c_str(), 0777));
  const std::string id = "A1B2C3D4E5F60718293A";
  const std::string other = "00000000E5F60718293A";  // same bucket, another LOB
  dir.write("ZUTDICT/ZUTLOB.TXT",
            "1," + id + ",0,5,4,10,3,\n" + "1," + id + ",0,7,4,20,2,\n" +  // 5 then 7
                "1," + id + ",2,7,4,30,1,\n" + "1," + id + ",2,5,4,40,1,\n" +  // 7 then 5
                "1," + id + ",3,4,4,50,1,\n" + "1," + id + ",3,4,5,60,1,\n" +  // a tie
                "1," + other + ",9,1,4,70,1,\n" + "1," + id + ",524288,9,4,80,1,\n" +
                "1," + id + ",5,9,4,90,\n" + "1," + id + ",6,x,4,90,1,\n");
  dir.write("ZUTDICT/LOBIDX.TXT", "1," + other + ",8,8,\n1," + id + ",3,100,\n1," + id + ",4,200,\n");
  inDirectory(dir, [&] {
    hashLobBlockMap();
    hashLobIndexMap();
    LobHashMap map;
    ASSERT_TRUE(openLobMaps(map));
    readLobBlockMap(map, id.c_str());
    EXPECT_EQ(4u, map.pageCount);
    EXPECT_EQ(20u, map.pages[0].block);
    EXPECT_EQ(2u, map.pages[0].blocks);
    EXPECT_EQ(7u, map.pages[0].version);
    EXPECT_EQ(0xFFFF, map.pages[1].file);
    EXPECT_EQ(30u, map.pages[2].block);
    EXPECT_EQ(7u, map.pages[2].version);
    EXPECT_EQ(4u, map.pages[3].file);
    EXPECT_EQ(50u, map.pages[3].block);
    readLobIndexMap(map, id.c_str());
    EXPECT_EQ(3u, map.fullBlocks);
    EXPECT_EQ(100u, map.lastLength);

    // Another LOB of the same bucket; the previous pages are cleared.
    readLobBlockMap(map, other.c_str());
    EXPECT_EQ(10u, map.pageCount);
    EXPECT_EQ(0xFFFF, map.pages[0].file);
    EXPECT_EQ(70u, map.pages[9].block);
    // A LOB id in no line.
    readLobBlockMap(map, "FFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(0u, map.pageCount);
    EXPECT_EQ(0xFFFF, map.pages[9].file);
    readLobIndexMap(map, "FFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(0xFFFFFFFFu, map.fullBlocks);
    closeLobMaps(map);
    // Without buckets nothing is found.
    readLobIndexMap(map, id.c_str());
    EXPECT_EQ(0xFFFFFFFFu, map.fullBlocks);
  });
}

TEST(LobLookup, AShortLineEndsTheSearchAndMissingMapsFindNothing) {
  TempDir dir;
  const std::string id = "0102030405060708090A";
  inDirectory(dir, [&] {
    LobHashMap map;
    EXPECT_FALSE(openLobMaps(map));
    openLobHashMap(map);
    readLobBlockMap(map, id.c_str());
    EXPECT_EQ(0u, map.pageCount);
    // A bucket written by hand: a line of 9 characters before the match.
    char path[64];
    lobBlockBucketPath(static_cast<int>(getLobBucket(id.c_str())), path, sizeof path);
    FILE* f = fopen(path, "wb");
    ASSERT_NE(nullptr, f);
    fputs(("1," + id + ",0,1,4,10,1,\n12345678\n1," + id + ",1,1,4,11,1,\n").c_str(), f);
    fclose(f);
    openLobHashMap(map);
    readLobBlockMap(map, id.c_str());
    EXPECT_EQ(1u, map.pageCount);
    EXPECT_EQ(10u, map.pages[0].block);
    // Too short an id text finds nothing.
    readLobBlockMap(map, "0102");
    EXPECT_EQ(0u, map.pageCount);
  });
}

}  // namespace
