// The LOB scans at the prompt of the built binary: date lines around each
// scan, the map files, their pieces and buckets, and SCAN MAP rebuilding
// the buckets from edited maps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "lob/lob_map.h"
#include "tests/support/test_util.h"
#include "tools/builder/lob_builder.h"

namespace {

std::string session(const TempDir& dir, const std::string& input) {
  RunResult r = runZut(dir.path(), input);
  EXPECT_EQ(0, r.status);
  const std::string banner = zutBanner();
  EXPECT_EQ(banner, r.out.substr(0, banner.size()));
  return maskDateLines(r.out.substr(banner.size()));
}

const mkdb::LobId kClob = mkdb::lobIdOf(0x10);
const mkdb::LobId kBlob = mkdb::lobIdOf(0x30);

// users01.dbf (file 4): a CLOB of three blocks in page 0 and one in page 1,
// a data block, a BLOB block, and the LOB index leaf of both.
void buildDatabase(const TempDir& dir) {
  mkdb::FileImage f;
  f.path = dir.file("users01.dbf");
  f.configName = "users01.dbf";
  f.rfn = f.fileNumber = 4;
  f.blocks = 40;
  mkdb::addFileHeader(f);
  mkdb::LobBlockPlan p;
  p.objd = 81234;
  p.id = kClob;
  p.version = 2;
  for (uint32_t b = 20; b < 23; b++) mkdb::addLobBlock(f, b, p);
  p.page = 1;
  mkdb::addLobBlock(f, 23, p);
  mkdb::addDataBlock(f, 24, 81233, 2);
  p.type = mkdb::kLobBlockBlob;
  p.id = kBlob;
  p.page = 0;
  p.version = 1;
  mkdb::addLobBlock(f, 25, p);
  ASSERT_EQ(0, mkdb::addLobIndexLeaf(f, 30, 81235,
                                      {mkdb::lobIndexEntry(kClob, 3, 512),
                                       mkdb::lobIndexEntry(kBlob, 0, 17)}));
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f}));
}

std::string bucketOf(const TempDir& dir, const char* prefix, const mkdb::LobId& id) {
  char name[64];
  snprintf(name, sizeof name, "ZUTDICT/%s%02u.TXT", prefix, getLobBucket(mkdb::lobIdHex(id).c_str()));
  return dir.read(name);
}

TEST(LobScanTranscript, SerialParallelAndDatabaseScansWriteTheSameMaps) {
  TempDir dir;
  buildDatabase(dir);
  const std::string clob = mkdb::lobIdHex(kClob), blob = mkdb::lobIdHex(kBlob);
  const std::string blockMap = "81234," + clob + ",0,2,4,20,3,\n" + "81234," + clob +
                               ",1,2,4,23,1,\n" + "81234," + blob + ",0,1,4,25,1,\n";
  const std::string indexMap = "81235," + clob + ",3,512,\n" + "81235," + blob + ",0,17,\n";
  const std::string opened = session(dir, "OPEN db.cfg\nEXIT\n");
  ASSERT_EQ("ZUT> ", opened.substr(0, 5));
  const std::string prefix = opened.substr(0, opened.size() - 5);

  EXPECT_EQ(prefix + "ZUT> <date>\n<date>\nZUT> ", session(dir, "OPEN db.cfg\nSCAN LOB\nEXIT\n"));
  EXPECT_EQ(blockMap, dir.read("ZUTDICT/ZUTLOB.TXT"));
  EXPECT_EQ(indexMap, dir.read("ZUTDICT/LOBIDX.TXT"));
  // The two CLOB lines share a bucket; the BLOB line is in its own.
  EXPECT_NE(std::string::npos, bucketOf(dir, "ZUTLOBMAP", kClob).find(clob + ",1,2,4,23,1,\n"));
  EXPECT_NE(std::string::npos, bucketOf(dir, "ZUTLOBMAP", kBlob).find(blob + ",0,1,4,25,1,\n"));
  EXPECT_NE(std::string::npos, bucketOf(dir, "ZUTLOBIDX", kClob).find(clob + ",3,512,\n"));

  ASSERT_EQ(0, unlink(dir.file("ZUTDICT/ZUTLOB.TXT").c_str()));
  EXPECT_EQ(prefix + "ZUT> <date>\n<date>\nZUT> ",
            session(dir, "OPEN db.cfg\nscan parallellob\nEXIT\n"));
  EXPECT_EQ(blockMap, dir.read("ZUTDICT/ZUTLOB.TXT"));
  EXPECT_EQ(blockMap, dir.read("ZUTDICT/ZUTLOB.00.TXT"));
  EXPECT_EQ("", dir.read("ZUTDICT/ZUTLOB.01.TXT"));

  ASSERT_EQ(0, unlink(dir.file("ZUTDICT/LOBIDX.TXT").c_str()));
  EXPECT_EQ(prefix + "ZUT> <date>\n<date>\nZUT> ", session(dir, "OPEN db.cfg\nSCAN DATABASE\nEXIT\n"));
  EXPECT_EQ(indexMap, dir.read("ZUTDICT/LOBIDX.TXT"));
  EXPECT_EQ(blockMap, dir.read("ZUTDICT/ZUTLOB.TXT"));
  EXPECT_EQ("81233,4,24,1\r\n81235,4,30,1\r\n", dir.read("ZUTDICT/ZUTEXT.TXT"));
}

TEST(LobScanTranscript, ScanMapRebuildsTheBucketsFromTheMaps) {
  TempDir dir;
  ASSERT_EQ(0, mkdir(dir.file("ZUTDICT").c_str(), 0777));
  const std::string id = "A1B2C3D4E5F60718293A";
  dir.write("ZUTDICT/ZUTLOB.TXT", "7," + id + ",0,1,4,10,2,\n");
  dir.write("ZUTDICT/LOBIDX.TXT", "8," + id + ",1,99,\n");
  EXPECT_EQ("ZUT> <date>\n<date>\nZUT> ", session(dir, "SCAN MAP\nEXIT\n"));
  EXPECT_EQ("7," + id + ",0,1,4,10,2,\n", dir.read("ZUTDICT/ZUTLOBMAP55.TXT"));
  EXPECT_EQ("8," + id + ",1,99,\n", dir.read("ZUTDICT/ZUTLOBIDX55.TXT"));
  EXPECT_EQ("", dir.read("ZUTDICT/ZUTLOBMAP54.TXT"));
}

}  // namespace
