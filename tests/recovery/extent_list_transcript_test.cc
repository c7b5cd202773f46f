// The recovery path a user takes when segment headers are gone, at the
// prompt of the built binary: SCAN EXTENT maps every data block, the user
// keeps the lines of the objects wanted in a file of their own, and UNLOAD
// OBJECT reads each object from that list with the column types given. The
// whole transcript is compared (date lines masked) and the rows must come
// back exactly as the builder wrote them.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"

namespace {

void overwriteBlock(const std::string& path, uint32_t block, uint32_t blockSize, uint32_t seed) {
  std::vector<char> bytes(blockSize, 0);
  std::mt19937 rng(seed);
  if (seed != 0)
    for (char& c : bytes) c = static_cast<char>(rng());
  std::fstream io(path, std::ios::in | std::ios::out | std::ios::binary);
  io.seekp(static_cast<std::streamoff>(block) * blockSize);
  io.write(bytes.data(), blockSize);
  ASSERT_TRUE(io.good());
}

TEST(ExtentListTranscript, ObjectsWithoutSegmentHeadersComeBackFromTheirExtentLines) {
  TempDir dir;
  const mkdb::DemoDatabase db = mkdb::buildDemoDatabase(dir.path());
  ASSERT_EQ(0, mkdb::writeDemoDatabase(db, dir.path(), "demo.cfg"));
  const mkdb::DemoTable& emp = *db.table("EMP");
  const mkdb::DemoTable& notes = *db.table("NOTES");
  ASSERT_EQ(73181u, emp.dataObjId);
  ASSERT_EQ(73183u, notes.dataObjId);
  // EMP's segment header becomes noise, NOTES's is zeroed.
  const uint32_t bs = db.files.at(0).blockSize;
  overwriteBlock(dir.file("users01.dbf"), emp.headerBlock, bs, 5);
  overwriteBlock(dir.file("users01.dbf"), notes.headerBlock, bs, 0);

  const std::string script =
      "OPEN demo.cfg\n"
      "SCAN EXTENT\n"
      "HOST grep -E '^7318[13],' ZUTDICT/ZUTEXT.TXT > mine.ext\n"
      "UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER NUMBER "
      "EXTENT mine.ext TO emp.txt;\n"
      "UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER NUMBER "
      "EXTENT mine.ext LIMIT 10 TO emp10.txt;\n"
      "UNLOAD OBJECT 73183 COLUMN NUMBER VARCHAR2 VARCHAR2 VARCHAR2 EXTENT mine.ext TO "
      "notes.txt;\n";
  dir.write("recover.sql", script);
  const RunResult r = runZut(dir.path(), "@recover.sql\nEXIT\n");
  ASSERT_EQ(0, r.status) << r.out;
  const std::string n = std::to_string(notes.rows.size());
  ASSERT_GT(emp.rows.size(), 10u);
  const std::string kListing =
      "*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n"
      "- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n"
      "Y    4    4 a2   8192        511        4     0 users01.dbf\n";
  EXPECT_EQ(zutBanner() + "ZUT> ZUT> OPEN demo.cfg\n" + kListing +
                "ZUT> SCAN EXTENT\n<date>\n<date>\n"
                "ZUT> HOST grep -E '^7318[13],' ZUTDICT/ZUTEXT.TXT > mine.ext\n"
                "ZUT> UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER "
                "NUMBER EXTENT mine.ext TO emp.txt;\n"
                "<date>\nSucessfully unload " + std::to_string(emp.rows.size()) +
                " rows ...\n<date>\n"
                "ZUT> UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER "
                "NUMBER EXTENT mine.ext LIMIT 10 TO emp10.txt;\n"
                "<date>\nSucessfully unload 10 rows ...\n<date>\n"
                "ZUT> UNLOAD OBJECT 73183 COLUMN NUMBER VARCHAR2 VARCHAR2 VARCHAR2 EXTENT mine.ext "
                "TO notes.txt;\n"
                "<date>\nSucessfully unload " + n + " rows ...\n<date>\n"
                "ZUT> \nZUT> ",
            maskDateLines(r.out));
  // The list the user kept: the objects' data blocks, no segment header.
  for (const char* line : {"73181,4,", "73183,4,"})
    EXPECT_NE(std::string::npos, dir.read("mine.ext").find(line)) << dir.read("mine.ext");
  EXPECT_EQ(mkdb::demoTableText(emp), dir.read("emp.txt"));
  EXPECT_EQ(mkdb::demoTableText(notes), dir.read("notes.txt"));
  const std::string all = mkdb::demoTableText(emp);
  size_t tenth = 0;
  for (int i = 0; i < 10; i++) tenth = all.find("\r\n", tenth) + 2;
  EXPECT_EQ(all.substr(0, tenth), dir.read("emp10.txt"));
}

}  // namespace
