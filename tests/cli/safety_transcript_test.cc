// What a user must be able to trust, through the built binary on the demo
// database: no command writes over an input of the session, a failed write
// is never reported as success, blocks that could not be read are counted
// and said, and WHENEVER ERROR EXIT ends a script at the first failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/support/demo_fixture.h"

namespace {

const char* const kRefused = " is an input file of this session; nothing written.\n";

TEST(Safety, NoCommandWritesOverAnInput) {
  Demo d;
  const std::string data = d.dir.read("users01.dbf"), config = d.dir.read("demo.cfg");
  ASSERT_EQ(0, symlink("users01.dbf", d.dir.file("link.dbf").c_str()));
  ASSERT_EQ(0, link(d.dir.file("users01.dbf").c_str(), d.dir.file("hard.dbf").c_str()));
  const mkdb::DemoTable& emp = d.table("EMP");
  const std::string sample = "SAMPLE OBJECT " + std::to_string(emp.dataObjId) + " FILE 4 BLOCK " +
                             std::to_string(emp.headerBlock + 1) + " TO ";
  struct Case {
    std::string command, path;
  } cases[] = {
      {"UNLOAD TABLE SCOTT.EMP TO users01.dbf;", "users01.dbf"},
      {"UNLOAD TABLE SCOTT.EMP TO ./users01.dbf;", "./users01.dbf"},
      {"UNLOAD TABLE SCOTT.EMP TO link.dbf;", "link.dbf"},
      {"UNLOAD TABLE SCOTT.EMP TO hard.dbf;", "hard.dbf"},
      {"UNLOAD TABLE SCOTT.EMP TO demo.cfg;", "demo.cfg"},
      {"UNLOAD OBJECT " + std::to_string(emp.dataObjId) + " TO users01.dbf;", "users01.dbf"},
      {"LIST TABLE SCOTT TO demo.cfg", "demo.cfg"},
      {"OSDUMP FILE 4 BLOCK 2 TO link.dbf", "link.dbf"},
      {"SCAN HEADER TO hard.dbf", "hard.dbf"},
      {sample + "demo.cfg", "demo.cfg"},
  };
  for (const Case& c : cases) {
    const std::string out = session(d, c.command + "\n");
    EXPECT_NE(std::string::npos, out.find(c.path + kRefused)) << c.command << "\n" << out;
    EXPECT_EQ(std::string::npos, out.find("Sucessfully")) << c.command;
    EXPECT_EQ(std::string::npos, out.find("Unload OBJD")) << c.command;
  }
  EXPECT_EQ(data, d.dir.read("users01.dbf"));
  EXPECT_EQ(config, d.dir.read("demo.cfg"));
  // The scripts of a refused unload are not written either.
  EXPECT_EQ("", d.dir.read("EMP_sqlldr.ctl"));
}

TEST(Safety, AFailedWriteIsNeverSuccess) {
  Demo d;
  std::string out = session(d, "UNLOAD TABLE SCOTT.EMP TO /dev/full;\n");
  EXPECT_NE(std::string::npos,
            out.find("  Write error on /dev/full: No space left on device\n"
                     "Unload failed after 14 rows ...\n"))
      << out;
  // A file-size limit cuts the output short: the rows after it are lost,
  // and so said.
  RunResult r = runZutWithFileLimit(d.dir.path(),
                                    "OPEN demo.cfg\nUNLOAD TABLE SCOTT.NOTES TO notes.txt;\n", 4096);
  EXPECT_NE(std::string::npos, r.out.find("  Write error on notes.txt: File too large\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Unload failed after ")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("Sucessfully")) << r.out;
  // The rows are out but their control file is not: not a success either.
  unlink(d.dir.file("EMP_sqlldr.ctl").c_str());
  ASSERT_EQ(0, mkdir(d.dir.file("EMP_sqlldr.ctl").c_str(), 0755));
  out = session(d, "UNLOAD TABLE SCOTT.EMP TO emp.txt;\n");
  EXPECT_NE(std::string::npos, out.find("Cannot create EMP_sqlldr.ctl: Is a directory\n"
                                        "Unload failed after 14 rows ...\n"))
      << out;
}

// EMP's blocks past its segment header cut off the file, and DEPT's data
// block with a byte changed under BLOCK_CHECK.
void damage(const Demo& d, uint32_t cutAt, uint32_t badBlock) {
  std::string data = d.dir.read("users01.dbf");
  data[static_cast<size_t>(badBlock) * 8192 + 300] ^= 0x5A;
  data.resize(static_cast<size_t>(cutAt) * 8192);
  d.dir.write("users01.dbf", data);
}

TEST(Safety, UnreadableBlocksAreCountedAndSaid) {
  Demo d;
  const mkdb::DemoTable& emp = d.table("EMP");
  const mkdb::DemoTable& dept = d.table("DEPT");
  ASSERT_LT(dept.headerBlock, emp.headerBlock);
  damage(d, emp.headerBlock + 1, dept.headerBlock + 1);
  const std::string out = session(
      d, "UNLOAD TABLE SCOTT.EMP TO e.txt;\nSET BLOCK_CHECK 1\nSET VERBOSE 1\n"
         "UNLOAD TABLE SCOTT.DEPT TO d.txt;\n");
  // Each extent is the block carrying the rows and the one before it.
  const std::string warning =
      "Warning: 1 of 2 blocks could not be read; rows stored in them are missing.\n";
  EXPECT_NE(std::string::npos, out.find(warning + "Sucessfully unload 0 rows ...\n")) << out;
  EXPECT_NE(std::string::npos, out.find(warning + "  checksum rejected: 1 blocks, first 4/" +
                                        std::to_string(dept.headerBlock + 1) +
                                        "\nSucessfully unload 0 rows ...\n"))
      << out;
}

TEST(Safety, WheneverErrorExitEndsTheScriptWithItsStatus) {
  Demo d;
  const std::string failing = "UNLOAD TABLE SCOTT.NOSUCH TO x.txt;\nUNLOAD TABLE SCOTT.DEPT TO d.txt;\n";
  EXPECT_EQ(0, runZut(d.dir.path(), "OPEN demo.cfg\n" + failing).status);
  EXPECT_NE("", d.dir.read("d.txt"));
  unlink(d.dir.file("d.txt").c_str());
  RunResult r = runZut(d.dir.path(), "OPEN demo.cfg\nWHENEVER ERROR EXIT 3\n" + failing);
  EXPECT_EQ(3, r.status);
  EXPECT_EQ("", d.dir.read("d.txt"));
  EXPECT_EQ(1, runZut(d.dir.path(), "WHENEVER ERROR EXIT\nUNLOAD TABLE SCOTT.EMP LIMIT x;\n").status);
  EXPECT_EQ(0, runZut(d.dir.path(), "WHENEVER ERROR EXIT 3\nWHENEVER ERROR CONTINUE\n" + failing).status);
  EXPECT_EQ(5, runZut(d.dir.path(), "EXIT 5\n").status);
}

}  // namespace
