// SCAN at the prompt of the built binary, on files the builder writes: the
// usage lines, the date lines around every scan, where each listing goes and
// the extent map files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"

namespace {

const std::string kUsage =
    "  SCAN HEADER [OBJECT objd] [FILE rfn] [TO filename]\n"
    "  SCAN TABLE  [OBJECT objd] [FILE rfn] [TO filename]\n"
    "  SCAN DATA   [OBJECT objd] [BLOCKS blks] [FILE rfn] [TO filename]\n"
    "  SCAN EXTENT [OBJECT objd] [FILE rfn] \n"
    "  SCAN LOB    [OBJECT objd] [FILE rfn] \n"
    "  SCAN PARALLELEXT \n"
    "  SCAN PARALLELLOB \n"
    "  SCAN DATABASE \n"
    "  SCAN MAP \n"
    "  SCAN UNDO   [FILE rfn] \n"
    "  SCAN ORPHANS [TO filename] \n";

const std::string kListingHeading =
    "*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n"
    "- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n";

// The transcript after the banner, with every date line made "<date>".
std::string session(const TempDir& dir, const std::string& input) {
  RunResult r = runZut(dir.path(), input);
  EXPECT_EQ(0, r.status);
  const std::string banner = zutBanner();
  EXPECT_EQ(banner, r.out.substr(0, banner.size()));
  return maskDateLines(r.out.substr(banner.size()));
}

bool exists(const TempDir& dir, const std::string& name) {
  struct stat st;
  return stat(dir.file(name).c_str(), &st) == 0;
}

// Files 4 and 5: segment headers of 74000 (file 4) and 74001 (file 5), data
// of 74000 in 130-134, of 77 in 140-142 and 150 of file 4 and 20-23 of file 5.
void buildDatabase(const TempDir& dir) {
  mkdb::FileImage f;
  f.path = dir.file("users01.dbf");
  f.configName = "users01.dbf";
  f.rfn = f.fileNumber = 4;
  f.tablespace = 4;
  f.blocks = 160;
  mkdb::addFileHeader(f);
  mkdb::SegmentPlan s;
  s.block = 10;
  s.objd = 74000;
  s.extents = {mkdb::extentAt(f, 130, 5)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
  mkdb::addDataRun(f, 130, 5, 74000);
  mkdb::addDataRun(f, 140, 3, 77);
  mkdb::addDataBlock(f, 150, 77, 2);
  mkdb::FileImage g = f;
  g.images.clear();
  g.runs.clear();
  g.path = dir.file("two.dbf");
  g.configName = "two.dbf";
  g.rfn = g.fileNumber = 5;
  g.blocks = 40;
  mkdb::addFileHeader(g);
  s.objd = 74001;
  s.extents = {mkdb::extentAt(g, 20, 4)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(g, s));
  mkdb::addDataRun(g, 20, 4, 77);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeDataFile(g));
  ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f, g}));
}

const std::string kOpened = "ZUT> " + kListingHeading +
                            "Y    4    4 a2   8192        159        1     0 users01.dbf\n"
                            "Y    4    5 a2   8192         39        0     0 two.dbf\n";

const std::string kExtentMap =
    "74000,4,130,5\r\n"
    "77,4,140,3\r\n"
    "77,4,150,1\r\n"
    "77,5,20,4\r\n";

TEST(ScanTranscript, UsageLines) {
  TempDir dir;
  EXPECT_EQ("ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> ",
            session(dir, "SCAN\nSCAN FOO\nSCAN D\nSCAN OBJECT 5\nEXIT\n"));
}

TEST(ScanTranscript, ExtentMapsSerialAndParallel) {
  TempDir dir;
  buildDatabase(dir);
  EXPECT_EQ(kOpened + "ZUT> <date>\n<date>\nZUT> ",
            session(dir, "OPEN db.cfg\nSCAN EXTENT TO x.txt\nEXIT\n"));
  EXPECT_EQ(kExtentMap, dir.read("ZUTDICT/ZUTEXT.TXT"));
  EXPECT_FALSE(exists(dir, "x.txt")) << "the extent map ignores TO";

  ASSERT_EQ(0, unlink(dir.file("ZUTDICT/ZUTEXT.TXT").c_str()));
  EXPECT_EQ(kOpened + "ZUT> <date>\n<date>\nZUT> ",
            session(dir, "OPEN db.cfg\nscan parallelext\nEXIT\n"));
  EXPECT_EQ(kExtentMap, dir.read("ZUTDICT/ZUTEXT.TXT"));
  EXPECT_EQ("74000,4,130,5\r\n77,4,140,3\r\n77,4,150,1\r\n", dir.read("ZUTDICT/ZUTEXT.00.TXT"));
  EXPECT_EQ("77,5,20,4\r\n", dir.read("ZUTDICT/ZUTEXT.01.TXT"));
  EXPECT_EQ("", dir.read("ZUTDICT/ZUTEXT.02.TXT"));
  EXPECT_EQ("", dir.read("ZUTDICT/ZUTEXT.03.TXT"));
}

TEST(ScanTranscript, ListingsGoToTheToFileOrBetweenTheDateLines) {
  TempDir dir;
  buildDatabase(dir);
  EXPECT_EQ(kOpened + "ZUT> <date>\n<date>\nZUT> <date>\n<date>\n" +
                "ZUT> <date>\n"
                "type=0x00 (Unknown Block) \n"
                "  rdba=0x01400002, 0x01400003, 0x01400004, 0x01400005, 0x01400006, 0x01400007, "
                "0x01400008, 0x01400009, 0x0140000b, 0x0140000c\n"
                "type=0x06 (trans data) \n  rdba=0x01400014, 0x01400015, 0x01400016, 0x01400017\n"
                "type=0x10 (DATA SEGMENT HEADER - UNLIMITED) \n  rdba=0x0140000a\n"
                "<date>\nZUT> ",
            session(dir, "OPEN db.cfg\nSCAN HEADERS OBJECT 74001 TO h.txt\n"
                         "SCAN DATA BLOCKS 2 FILE 4 TO d.txt\nSCAN BLOCK FILE 5\nEXIT\n"));
  EXPECT_EQ(
      "RDBA=0x0140000a(5/10), type=0x10 (DATA SEGMENT HEADER - UNLIMITED),fmt=0xa2,seq=0x01,"
      "flag=0x04 \nseg/obj=0x00012111=74001\n\n",
      dir.read("h.txt"));
  const std::string data = dir.read("d.txt");
  std::string rdbas;
  for (size_t at = data.find("RDBA="); at != std::string::npos; at = data.find("RDBA=", at + 1))
    rdbas += data.substr(at + 15, data.find(')', at) - at - 14);
  // Block 150 is a second run of object 77, but 77 was the last object
  // listed, and it has had its two blocks.
  EXPECT_EQ("(4/130)(4/131)(4/140)(4/141)", rdbas);
}

TEST(ScanTranscript, TableWithoutExtentListPrintsNothing) {
  TempDir dir;
  buildDatabase(dir);
  EXPECT_EQ(kOpened +
                "ZUT> <date>\n<date>\n"
                "ZUT> <date>\n<date>\nZUT> ",
            session(dir, "OPEN db.cfg\nSCAN TABLE\nSCAN DATABASE\nEXIT\n"));
  // DATABASE did its extent half.
  EXPECT_EQ(kExtentMap, dir.read("ZUTDICT/ZUTEXT.TXT"));
}

TEST(ScanTranscript, RefusesOverlongNamesAndScansNothingWithoutFiles) {
  TempDir dir;
  EXPECT_EQ("ZUT>   File name too long.\nZUT> <date>\n<date>\nZUT> ",
            session(dir, "SCAN HEADER TO " + std::string(1100, 'x') + "\nSCAN HEADER\nEXIT\n"));
  EXPECT_EQ("", dir.read("ZUTDICT/ZUTEXT.TXT"));
}

}  // namespace
