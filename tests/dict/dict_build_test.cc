// UNLOAD TABLE DICT$ and its single-table forms through the built binary, on
// a SYSTEM data file written by the builder from a dictionary description:
// every dictionary file compared with the text the builder says its rows
// must give, in both byte orders and two block sizes; settings around the
// build; damaged segment headers; and user tables found by name afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dict/dict_build.h"
#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"
#include "tools/builder/system_db.h"

namespace {

// The demo schema's dictionary plus what the demo has none of: an index
// with partitions, table and index subpartitions, an object with an OID and
// column types with and without a synonym.
mkdb::DictionaryRows describedDictionary(const mkdb::DemoDatabase& demo) {
  mkdb::DictionaryRows rows = demo.dictionary;
  const uint32_t scott = mkdb::addDictUser(rows, "SCOTT");
  rows.objects.push_back({90000, scott, "SALES_IDX", "", 1, ""});
  rows.tabs.push_back({90000, 0, 4, 4, 0, std::nullopt});
  rows.objects.push_back({90001, scott, "SALES_IDX", "P_EAST", 20, ""});
  rows.tabs.push_back({90001, 90001, 4, 4, 300, std::nullopt});
  rows.objects.push_back({90002, scott, "SALES_PART", "P_EAST_S1", 34, ""});
  rows.tabs.push_back({90002, 90002, 4, 4, 310, std::nullopt});
  rows.objects.push_back({90003, scott, "SALES_IDX", "P_EAST_S1", 35, ""});
  rows.tabs.push_back({90003, 90003, 5, 4, 320, std::nullopt});
  rows.objects.push_back({90004, scott, "ADDRESS_T", "", 13, "8C2E1B0F7A0D4E4CE0530100007F3AB1"});
  rows.columnTypes.push_back({73181, 2, 2, "8C2E1B0F7A0D4E4CE0530100007F3AB1", 1, 0, 0});
  rows.columnTypes.push_back({73182, 3, 3, "00000000000000000000000000020011", 2, 1, 90004});
  rows.undoSegments = {{0, 1, 128, 0, 3}, {1, 3, 144, 2, 3}, {2, 3, 160, 2, 1}};
  return rows;
}

struct SystemSetup {
  TempDir dir;
  mkdb::DemoDatabase demo;
  mkdb::SystemDatabase sys;

  // withUserFile: the demo's data file beside SYSTEM (little-endian 8 KiB).
  // change: edits the description and the file options before the build.
  SystemSetup(uint8_t order, uint32_t blockSize, bool withUserFile,
              void (*change)(mkdb::DictionaryRows&, mkdb::SystemFileOptions&) = nullptr) {
    demo = mkdb::buildDemoDatabase(dir.path());
    mkdb::SystemFileOptions o;
    o.path = dir.file("system01.dbf");
    o.configName = "system01.dbf";
    o.byteOrder = order;
    o.blockSize = blockSize;
    mkdb::DictionaryRows rows = describedDictionary(demo);
    if (change) change(rows, o);
    EXPECT_TRUE(mkdb::buildSystemDatabase(rows, o, sys));
    std::vector<mkdb::FileImage> files = {sys.file};
    if (withUserFile) files.push_back(demo.files.at(0));
    for (const mkdb::FileImage& f : files) EXPECT_EQ(0, mkdb::writeDataFile(f));
    EXPECT_EQ(0, mkdb::writeConfigFile(dir.file("sys.cfg"), files));
    settings = order == mkdb::kBig ? "SET BYTE_ORDER BIG\n" : "";
    settings += "SET BLOCK_SIZE " + std::to_string(blockSize) + "\n";
  }

  // The transcript after the settings and the OPEN listing, date lines as
  // "<date>".
  std::string session(const std::string& input) const {
    const std::string start = settings + "OPEN sys.cfg\n";
    const RunResult opened = runZut(dir.path(), start + "EXIT\n");
    const RunResult r = runZut(dir.path(), start + input + "EXIT\n");
    EXPECT_EQ(0, r.status);
    const std::string prefix = opened.out.substr(0, opened.out.size() - 5);  // the last "ZUT> "
    EXPECT_EQ(prefix, r.out.substr(0, prefix.size()));
    return maskDateLines(r.out.substr(std::min(prefix.size(), r.out.size())));
  }

  bool exists(const std::string& name) const {
    struct stat st;
    return stat(dir.file(name).c_str(), &st) == 0;
  }
  std::string dict(const std::string& name) const { return dir.read("ZUTDICT/" + name); }

  void expectFullDictionary() const {
    EXPECT_EQ(sys.expected.users, dict("ZUTUSR.TXT"));
    EXPECT_EQ(sys.expected.objects, dict("ZUTOBJ.TXT"));
    EXPECT_EQ(sys.expected.tables, dict("ZUTTAB.TXT"));
    EXPECT_EQ(sys.expected.columns, dict("ZUTCOL.TXT"));
    EXPECT_EQ(sys.expected.columnTypes, dict("ZUTTYP.TXT"));
    EXPECT_EQ(sys.expected.undo, dict("ZUTUNDO.TXT"));
    expectBuckets();
  }
  void expectBuckets() const {
    for (int b = 0; b < 100; b++) {
      char name[32];
      snprintf(name, sizeof name, "ZUTCOLMAP%02d.TXT", b);
      ASSERT_TRUE(exists("ZUTDICT/" + std::string(name))) << name;
      EXPECT_EQ(mkdb::columnBucketText(sys.expected.columns, b), dict(name)) << name;
    }
  }

  std::string settings;
};

// The builder's expectations are themselves worth a look: they must hold
// the lines the readers are known to need.
TEST(DictBuildFixture, ExpectedTextsHoldTheSystemRows) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  const mkdb::ExpectedDictionary& e = s.sys.expected;
  EXPECT_EQ(0u, e.users.find("0,SYS,\n1,SYSTEM,\n2,SCOTT,\n"));
  EXPECT_NE(std::string::npos, e.objects.find("\n19,0,IND$,,2,,\n"));
  EXPECT_NE(std::string::npos, e.objects.find(",ADDRESS_T,,13,8C2E1B0F7A0D4E4CE0530100007F3AB1,\n"));
  EXPECT_EQ(0u, e.tables.find("4,2,0,1,18,1,"));
  EXPECT_NE(std::string::npos, e.tables.find("\n19,2,0,1,18,3,"));
  EXPECT_NE(std::string::npos, e.tables.find("\n18,18,0,1,17,,"));
  EXPECT_EQ(e.tabRows, e.tables.substr(0, e.tabRows.size()));
  // An IND$ line starts with the index's own obj#: the IOT top segment.
  EXPECT_NE(std::string::npos, e.tables.find("\n73189,73189,4,4,"));
  EXPECT_NE(std::string::npos, e.tables.find("\n90001,90001,4,4,300,\n"));
  EXPECT_NE(std::string::npos, e.columnTypes.find("73182,3,3,00000000000000000000000000020011,2,1,90004\n"));
  EXPECT_NE(std::string::npos, e.columnTypes.find("73181,2,2,8C2E1B0F7A0D4E4CE0530100007F3AB1,1,0,\n"));
  // UNDO$ lines: US#, FILE#, BLOCK#, STATUS$, TS#, more columns after them.
  EXPECT_EQ("0,1,128,0,3,\n1,3,144,2,3,\n2,3,160,2,1,\n", e.undo);
}

struct Layout {
  uint8_t order;
  uint32_t blockSize;
};

class DictBuildLayouts : public testing::TestWithParam<Layout> {};

TEST_P(DictBuildLayouts, DictWritesEveryFileWithFixedSeparatorsAndRestoresSettings) {
  SystemSetup s(GetParam().order, GetParam().blockSize, false);
  const std::string out = s.session(
      "SET FIELD_TAG \\t\nSET ROW_ADDRESS 1\nSET OUTPUT_STYLE DMP\nUNLOAD TABLE DICT$;\n"
      "SET ROW_ADDRESS\nSET OUTPUT_STYLE\nSET FIELD_TAG\n");
  EXPECT_EQ(
      "ZUT>   Current FIELD_TAG :\\t\n"
      "ZUT>   Current ROW_ADDRESS is : 1\n"
      "ZUT>   Current OUTPUT_STYLE is : DMP\n"
      "ZUT> <date>\n<date>\n"
      "ZUT>   Current ROW_ADDRESS is : 0\n"
      "ZUT>   Current OUTPUT_STYLE is : DMP\n"
      "ZUT>   Current FIELD_TAG :\\t\n"
      "ZUT> ",
      out);
  s.expectFullDictionary();
  EXPECT_FALSE(s.exists("zutdata.dmp"));
}

INSTANTIATE_TEST_SUITE_P(ByteOrdersAndBlockSizes, DictBuildLayouts,
                         testing::Values(Layout{mkdb::kLittle, 8192}, Layout{mkdb::kBig, 8192},
                                         Layout{mkdb::kLittle, 2048}, Layout{mkdb::kBig, 2048}));

TEST(DictBuild, SmallBlocksSpreadTheClusterOverSeveralBlocks) {
  // The 2 KiB case above only proves something when C_OBJ# needs several
  // blocks with a key repeated in each.
  SystemSetup s(mkdb::kLittle, 2048, false);
  EXPECT_GE(s.sys.dataBlocks.at("C_OBJ#").size(), 3u);
  SystemSetup big(mkdb::kLittle, 8192, false);
  EXPECT_EQ(1u, big.sys.dataBlocks.at("C_OBJ#").size());
}

TEST(DictBuild, SingleTablesInOrderAnyCaseEqualDict) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  const std::string out =
      s.session("UNLOAD TABLE user$;\nUNLOAD TABLE Obj$;\nUNLOAD TABLE tab$;\nUNLOAD TABLE COL$;\n");
  EXPECT_EQ("ZUT> <date>\n<date>\nZUT> <date>\n<date>\nZUT> <date>\n<date>\nZUT> <date>\n<date>\nZUT> ",
            out);
  s.expectFullDictionary();
}

TEST(DictBuild, OwnerQualifiedNameIsAnOrdinaryTable) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  const std::string out = s.session("UNLOAD TABLE SYS.TAB$;\n");
  EXPECT_EQ("ZUT>   USER SYS does not exists!\nZUT> ", out);
  EXPECT_FALSE(s.exists("ZUTDICT/ZUTTAB.TXT"));
}

TEST(DictBuild, TablesAndColumnsWithoutObjectsSkipTheFollowOnTables) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  s.session("UNLOAD TABLE TAB$;\nUNLOAD TABLE COL$;\n");
  EXPECT_EQ(s.sys.expected.tabRows, s.dict("ZUTTAB.TXT"));
  EXPECT_EQ(s.sys.expected.columns, s.dict("ZUTCOL.TXT"));
  s.expectBuckets();
  EXPECT_FALSE(s.exists("ZUTDICT/ZUTTYP.TXT"));
  EXPECT_FALSE(s.exists("ZUTDICT/ZUTUNDO.TXT"));
  EXPECT_FALSE(s.exists("ZUTDICT/ZUTOBJ.TXT"));
}

TEST(DictBuild, ObjectAndClusterArgumentsReachTheReaders) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  // No segment of object 99 anywhere; table 2 is beyond the tables of
  // C_USER#; FILE 1 is the SYSTEM file.
  s.session("UNLOAD TABLE USER$ OBJECT 99;\n");
  EXPECT_EQ("", s.dict("ZUTUSR.TXT"));
  s.session("UNLOAD TABLE USER$ CLUSTER 2;\n");
  EXPECT_EQ("", s.dict("ZUTUSR.TXT"));
  s.session("UNLOAD TABLE USER$ FILE 1 OBJECT 10 CLUSTER 1;\n");
  EXPECT_EQ(s.sys.expected.users, s.dict("ZUTUSR.TXT"));
  // OBJECT 2 CLUSTER 5 read through the USER$ projection: COL$ rows, whose
  // key (obj#) comes first.
  s.session("UNLOAD TABLE USER$ OBJECT 2 CLUSTER 5;\n");
  const std::string users = s.dict("ZUTUSR.TXT");
  EXPECT_EQ(0u, users.find("73180,"));
}

TEST(DictBuild, UncreatableFilesSendBootstrapRowsToTheScreenAndSkipFollowOns) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  s.session("UNLOAD TABLE OBJ$;\nUNLOAD TABLE TAB$;\n");
  // Directories in the way of ZUTUSR.TXT and ZUTTYP.TXT.
  ASSERT_EQ(0, mkdir(s.dir.file("ZUTDICT/ZUTUSR.TXT").c_str(), 0777));
  ASSERT_EQ(0, mkdir(s.dir.file("ZUTDICT/ZUTTYP.TXT").c_str(), 0777));
  const std::string out = s.session("UNLOAD TABLE USER$;\nUNLOAD TABLE COL$;\n");
  EXPECT_EQ("ZUT> <date>\n" + s.sys.expected.users + "<date>\nZUT> <date>\n<date>\nZUT> ", out);
  EXPECT_EQ(s.sys.expected.columns, s.dict("ZUTCOL.TXT"));
  s.expectBuckets();
}

TEST(DictBuild, DeletedAndUncommittedRowsFollowTheSettings) {
  SystemSetup s(mkdb::kLittle, 8192, false,
                [](mkdb::DictionaryRows& rows, mkdb::SystemFileOptions& o) {
                  o.deletedUsers = {mkdb::addDictUser(rows, "GHOST")};
                  o.uncommittedUsers = {mkdb::addDictUser(rows, "PENDING")};
                });
  const std::string base = "0,SYS,\n1,SYSTEM,\n2,SCOTT,\n";
  EXPECT_EQ(base + "4,PENDING,\n", s.sys.expected.users);
  s.session("UNLOAD TABLE USER$;\n");
  EXPECT_EQ(base + "4,PENDING,\n", s.dict("ZUTUSR.TXT"));
  s.session("SET DELETED_ROW TRUE\nUNLOAD TABLE USER$;\n");
  EXPECT_EQ(base + "3,GHOST,\n4,PENDING,\n", s.dict("ZUTUSR.TXT"));
  s.session("SET COMMITED_ONLY TRUE\nUNLOAD TABLE USER$;\n");
  EXPECT_EQ(base, s.dict("ZUTUSR.TXT"));
}

// Overwrites block b of the SYSTEM file with a pattern that is no segment
// header.
void damageBlock(const SystemSetup& s, uint32_t b) {
  std::fstream f(s.dir.file("system01.dbf"), std::ios::in | std::ios::out | std::ios::binary);
  const std::string junk(s.sys.file.blockSize, '\x5a');
  f.seekp(static_cast<std::streamoff>(b) * s.sys.file.blockSize);
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

TEST(DictBuild, DamagedSegmentHeadersFallBackToTheFullScan) {
  for (const char* segment : {"OBJ$", "C_OBJ#", "C_USER#", "TABPART$", "COLTYPE$", "UNDO$"}) {
    SystemSetup s(mkdb::kLittle, 8192, false);
    damageBlock(s, s.sys.headers.at(segment));
    s.session("UNLOAD TABLE DICT$;\n");
    SCOPED_TRACE(segment);
    s.expectFullDictionary();
  }
}

// After DICT$ the user tables are found by name: the same DESC as with the
// builder's own dictionary files, and every demo table unloads to its
// source rows.
TEST(DictBuild, UserTablesDescribeAndUnloadByNameAfterwards) {
  SystemSetup s(mkdb::kLittle, 8192, true);
  std::string unloads, describes;
  for (const mkdb::DemoTable& t : s.demo.tables) {
    unloads += "UNLOAD TABLE " + t.owner + "." + t.name + " TO " + t.name + ".txt;\n";
    describes += "DESC " + t.owner + "." + t.name + "\n";
  }
  const std::string built = s.session("UNLOAD TABLE DICT$;\n" + describes + unloads);
  for (const mkdb::DemoTable& t : s.demo.tables)
    EXPECT_EQ(mkdb::demoTableText(t), s.dir.read(t.name + ".txt")) << t.name;

  // The same DESC listings from the dictionary files the builder writes
  // for the demo.
  TempDir other;
  mkdb::DemoDatabase demo = mkdb::buildDemoDatabase(other.path());
  ASSERT_EQ(0, mkdb::writeDemoDatabase(demo, other.path(), "demo.cfg"));
  const RunResult r = runZut(other.path(), "OPEN demo.cfg\n" + describes + "EXIT\n");
  const std::string ownDesc = maskDateLines(r.out.substr(r.out.find("users01.dbf\n") + 12));
  const size_t from = built.find("ZUT> <date>\n<date>\n") + 19;
  ASSERT_NE(std::string::npos, built.find("ZUT> <date>\n<date>\n"));
  const std::string builtDesc = built.substr(from, ownDesc.size() - 5);
  EXPECT_EQ(ownDesc.substr(0, ownDesc.size() - 5), builtDesc);
  EXPECT_NE(std::string::npos, builtDesc.find("Storage(OBJ#=73181"));
}

// zut-mkdb's "system" line: the SYSTEM file instead of dictionary files,
// and DICT$ on it makes the demo tables unloadable by name.
TEST(DictBuild, MkdbSystemFileServesTheDemo) {
  TempDir d;
  d.write("db.txt", "config demo.cfg\ndemo\nsystem\n");
  const std::string cmd = std::string("'") + ZUT_MKDB + "' -C '" + d.path() + "' db.txt";
  ASSERT_EQ(0, system(cmd.c_str()));
  struct stat st;
  EXPECT_NE(0, stat(d.file("ZUTDICT/ZUTUSR.TXT").c_str(), &st));
  const std::string config = d.read("demo.cfg");
  EXPECT_EQ(0u, config.find("system01.dbf\n"));
  const RunResult r = runZut(d.path(), "OPEN demo.cfg\nUNLOAD TABLE DICT$;\n"
                                       "UNLOAD TABLE SCOTT.DEPT TO dept.txt;\nEXIT\n");
  EXPECT_EQ(0, r.status);
  const mkdb::DemoDatabase demo = mkdb::buildDemoDatabase("");
  ASSERT_NE(nullptr, demo.table("DEPT"));
  EXPECT_EQ(mkdb::demoTableText(*demo.table("DEPT")), d.read("dept.txt"));
  EXPECT_EQ("0,SYS,\n1,SYSTEM,\n2,SCOTT,\n", d.read("ZUTDICT/ZUTUSR.TXT"));
}

// Every file under ZUTDICT by name, with its content.
std::map<std::string, std::string> dictFiles(const SystemSetup& s) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(s.dir.file("ZUTDICT"))) {
    const std::string name = e.path().filename().string();
    files[name] = s.dict(name);
  }
  return files;
}

// A rebuild that finds nothing, or cannot write, keeps the good dictionary
// whole (no temporary file left behind either) and fails the command.
TEST(DictBuildKeepsGoodFiles, NoRowsLeaveEveryFileAsItWas) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  s.session("UNLOAD TABLE DICT$;\n");
  const auto good = dictFiles(s);
  ASSERT_EQ(106u, good.size());  // five files, ZUTUNDO.TXT and 100 buckets
  // Without the SYSTEM file open no dictionary table has a row.
  const RunResult r = runZut(s.dir.path(), "WHENEVER ERROR EXIT 3\nUNLOAD TABLE DICT$;\nEXIT\n");
  EXPECT_EQ(3, r.status);
  EXPECT_EQ(zutBanner() + "ZUT> ZUT> <date>\n"
            "No rows of USER$ found; ZUTDICT/ZUTUSR.TXT left as it was.\n"
            "No rows of OBJ$ found; ZUTDICT/ZUTOBJ.TXT left as it was.\n"
            "No rows of TAB$ found; ZUTDICT/ZUTTAB.TXT left as it was.\n"
            "No rows of COL$ found; ZUTDICT/ZUTCOL.TXT left as it was.\n<date>\n",
            maskDateLines(r.out));
  EXPECT_EQ(good, dictFiles(s));
}

TEST(DictBuildKeepsGoodFiles, WriteErrorsLeaveEveryFileAsItWas) {
  SystemSetup s(mkdb::kLittle, 8192, false);
  s.session("UNLOAD TABLE DICT$;\n");
  const auto good = dictFiles(s);
  const RunResult r = runZutWithFileLimit(
      s.dir.path(), s.settings + "OPEN sys.cfg\nWHENEVER ERROR EXIT 3\nUNLOAD TABLE DICT$;\n", 0);
  EXPECT_EQ(3, r.status);
  for (const char* name : {"ZUTUSR.TXT", "ZUTOBJ.TXT", "ZUTTAB.TXT", "ZUTCOL.TXT"})
    EXPECT_NE(std::string::npos,
              r.out.find(std::string("\n  Write error on ZUTDICT/") + name + ": File too large\n"))
        << name << "\n" << r.out;
  EXPECT_EQ(good, dictFiles(s));
}

TEST(DictBuildSteps, PrefixesAnyCase) {
  EXPECT_EQ(kBuildAll, dictBuildSteps("dict$"));
  EXPECT_EQ(kBuildUsers, dictBuildSteps("User$x"));
  EXPECT_EQ(kBuildObjects, dictBuildSteps("OBJ$"));
  EXPECT_EQ(kBuildTables, dictBuildSteps("tab$"));
  EXPECT_EQ(kBuildColumns, dictBuildSteps("col$"));
  EXPECT_EQ(0, dictBuildSteps("SYS.TAB$"));
  EXPECT_EQ(0, dictBuildSteps("USERS"));
  EXPECT_EQ(0, dictBuildSteps(""));
  EXPECT_EQ(nullptr, findDictProjection("CLU$"));
  ASSERT_NE(nullptr, findDictProjection("ind$"));
  EXPECT_EQ(1, findDictProjection("IND$")->columns[0].position);
}

}  // namespace
