// SAMPLE and LOAD TABLE at the prompt of the built binary on the demo
// database, and the table a sampled segment is matched to once the user's
// tables are loaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "values/guess_field.h"
#include "dict/guess_table.h"
#include "tests/support/demo_fixture.h"
#include "tests/support/session_fixture.h"
#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"

namespace {

const std::string kUsage =
    "  SAMPLE OBJECT objd RDBA rdba FILE rfn BLOCK blockid \n"
    "         [CLUSTER clusterid] [TO filename]\n";
const std::string kBreak = " \n      ";

std::string sampleCommand(uint32_t objd, uint32_t block, const std::string& extra = "") {
  return "SAMPLE OBJECT " + std::to_string(objd) + " FILE 4 BLOCK " + std::to_string(block) +
         extra + "\n";
}

std::string objdFile(uint32_t objd, int cluster) {
  char name[64];
  snprintf(name, sizeof name, "OBJD%010uC%03d.txt", objd, cluster);
  return name;
}

TEST(SampleCommand, GuessesTheColumnsOfEmp) {
  Demo d;
  const mkdb::DemoTable& emp = d.table("EMP");
  const std::string objd = std::to_string(emp.dataObjId);
  // Eight columns: the list ends with one more break.
  EXPECT_EQ("ZUT> #// Column Count=8\nUNLOAD OBJECT " + objd + " COLUMN " + kBreak +
                " NUMBER VARCHAR VARCHAR NUMBER DATE NUMBER NUMBER NUMBER" + kBreak + " TO " +
                objdFile(emp.dataObjId, 0) + "; \n\nZUT> ",
            d.session(sampleCommand(emp.dataObjId, emp.headerBlock + 1)));
}

TEST(SampleCommand, EveryScalarTypeToAFileByRdba) {
  Demo d;
  const mkdb::DemoTable& t = d.table("ALL_TYPES");
  const uint32_t rdba = 4u << 22 | (t.headerBlock + 1);
  EXPECT_EQ("ZUT> ZUT> ",
            d.session("SAMPLE RDBA 0x" + [&] {
              char hex[16];
              snprintf(hex, sizeof hex, "%08x", rdba);
              return std::string(hex);
            }() + " OBJECT " + std::to_string(t.dataObjId) + " TO types.txt\n"));
  // The RAW column's first value, DEADBEEF, reads as double-byte text and is
  // guessed VARCHAR until 00FF rules text out; the TIMESTAMP WITH LOCAL TIME
  // ZONE column is stored like a TIMESTAMP.
  EXPECT_EQ("#// Column Count=13\nUNLOAD OBJECT " + std::to_string(t.dataObjId) + " COLUMN " +
                kBreak +
                " NUMBER VARCHAR VARCHAR NUMBER NUMBER DATE TIMESTAMP TIMESTAMPTZ TIMESTAMP "
                "BINARY_FLOAT" +
                kBreak + " BINARY_DOUBLE RAW VARCHAR TO " + objdFile(t.dataObjId, 0) + "; \n\n",
            d.dir.read("types.txt"));
}

TEST(SampleCommand, ClusterTableAndUsage) {
  Demo d;
  const mkdb::DemoTable& e = d.table("C_EMP");
  // Table 2 of the first cluster block: the cluster key column, then EMPNO
  // and ENAME.
  EXPECT_EQ("ZUT> #// Column Count=3\nUNLOAD OBJECT " + std::to_string(e.dataObjId) + " COLUMN " +
                kBreak + " NUMBER NUMBER VARCHAR TO " + objdFile(e.dataObjId, 2) + "; \n\nZUT> ",
            d.session(sampleCommand(e.dataObjId, e.headerBlock + 1, " CLUSTER 2")));
  // Missing object, block or file (outside BIGFILE) gives the usage lines.
  EXPECT_EQ("ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> " + kUsage + "ZUT> ",
            d.session("SAMPLE\nSAMPLE OBJECT 5 FILE 4\nSAMPLE FILE 4 BLOCK 20\n"
                      "SAMPLE OBJECT 5 BLOCK 20\n"));
}

// A block of another object yields no columns; the command names the object
// the block belongs to. A sample counts its own rows against GUESS_SIZE, not
// those an earlier unload counted.
TEST(SampleCommand, BlockOfAnotherObjectAndAfterAnUnload) {
  Demo d;
  const mkdb::DemoTable& emp = d.table("EMP");
  EXPECT_EQ("ZUT> #// Column Count=0\nUNLOAD OBJECT " + std::to_string(emp.dataObjId) + " COLUMN " +
                kBreak + " TO " + objdFile(12345, 0) + "; \n\nZUT> ",
            d.session(sampleCommand(12345, emp.headerBlock + 1)));
  const std::string out = d.session("SET GUESS_SIZE 10\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\n" +
                                    sampleCommand(emp.dataObjId, emp.headerBlock + 1));
  EXPECT_NE(std::string::npos, out.find("Sucessfully unload 14 rows ...\n")) << out;
  EXPECT_NE(std::string::npos,
            out.find("ZUT> #// Column Count=8\nUNLOAD OBJECT " + std::to_string(emp.dataObjId) +
                     " COLUMN " + kBreak + " NUMBER VARCHAR VARCHAR NUMBER DATE NUMBER NUMBER NUMBER"))
      << out;
}

TEST(LoadTableCommand, LoadsEveryTableOfTheUser) {
  Demo d;
  uint32_t scott = 0;
  for (const mkdb::DictUserRow& u : d.db.dictionary.users)
    if (u.name == "SCOTT") scott = u.userId;
  std::string loaded;
  for (const mkdb::DictObjectRow& o : d.db.dictionary.objects)
    if (o.ownerId == scott && o.type == 2 && o.subname.empty())
      loaded += " Loaded Guess Table SCOTT." + o.name + "\n";
  EXPECT_NE(std::string::npos, loaded.find("SCOTT.EMP\n"));
  EXPECT_NE(std::string::npos, loaded.find("SCOTT.PAY$HIST\n"));
  EXPECT_EQ("ZUT> " + loaded + "ZUT> " + loaded + "ZUT> User (NOBODY) does not exists.\nZUT> " +
                "  LOAD TABLE username\nZUT>   LOAD TABLE username\nZUT>   LOAD TABLE username\nZUT> ",
            d.session("LOAD TABLE scott\nload table SCOTT\nLOAD TABLE NOBODY\nLOAD\nLOAD TABLE\n"
                      "LOAD USER SCOTT\n"));
}

// Runs one command line through its handler, as the interpreter would.
std::string runCommand(ZUTState& st, void (*handler)(ZUTState&), const std::string& line) {
  memset(st.cmd.text, 0, sizeof st.cmd.text);
  memcpy(st.cmd.text, line.data(), line.size());
  st.cmd.length = static_cast<int32_t>(line.size());
  st.cmd.start = st.cmd.end = 0;
  EXPECT_GT(scanNextWord(st.cmd), 0);
  testing::internal::CaptureStdout();
  handler(st);
  return testing::internal::GetCapturedStdout();
}

// The working directory for the dictionary files, restored afterwards.
struct InDirectory {
  char saved[4096] = {};
  explicit InDirectory(const std::string& dir) {
    EXPECT_NE(nullptr, getcwd(saved, sizeof saved));
    EXPECT_EQ(0, chdir(dir.c_str()));
  }
  ~InDirectory() { EXPECT_EQ(0, chdir(saved)); }
};

std::string bestMatch(const SessionContext& ctx) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  findGuessTable(f, *ctx.columnStats, *ctx.guessedTables);
  fclose(f);
  std::string out(data, size);
  free(data);
  return out;
}

TEST(GuessMatchOnDemo, SampledSegmentsAreNamedAfterLoadTable) {
  Demo d;
  InDirectory in(d.dir.path());
  TestSession s;
  s.open(d.dir, d.dir.read("demo.cfg"));
  auto st = std::make_unique<ZUTState>();
  st->ctx = s.ctx;
  std::vector<char> outputBuffer(kOutputBufferSize);
  st->outputBuffer = outputBuffer.data();
  allocGuessState(st->ctx);

  EXPECT_NE(std::string::npos,
            runCommand(*st, runLoadCommand, "LOAD TABLE SCOTT").find(" Loaded Guess Table SCOTT.ALL_TYPES\n"));
  const mkdb::DemoTable& emp = d.table("EMP");
  const std::string objd = std::to_string(emp.dataObjId);
  // A usage stop does not leave the session sampling.
  EXPECT_EQ(kUsage, runCommand(*st, runSampleCommand, "SAMPLE OBJECT 5"));
  EXPECT_EQ(0, st->ctx.rowOutputMode);
  runCommand(*st, runSampleCommand, sampleCommand(emp.dataObjId, emp.headerBlock + 1));
  EXPECT_EQ(0, st->ctx.rowOutputMode);
  EXPECT_EQ(14, st->ctx.columnStats->count[0]);
  EXPECT_EQ(4, st->ctx.columnStats->count[6]);  // COMM: four values, ten NULLs
  EXPECT_EQ("## Guess : SCOTT.EMP , Match Count = 8/8, Score = 100%\n"
            "## UNLOAD TABLE SCOTT.EMP OBJECT " + objd + " TO EMP_" + objd + ".TXT;\n",
            bestMatch(st->ctx));

  // ALL_TYPES: the TIMESTAMP WITH LOCAL TIME ZONE column is the one miss.
  const mkdb::DemoTable& t = d.table("ALL_TYPES");
  const std::string tobjd = std::to_string(t.dataObjId);
  runCommand(*st, runSampleCommand, sampleCommand(t.dataObjId, t.headerBlock + 1));
  EXPECT_EQ("## Guess : SCOTT.ALL_TYPES , Match Count = 12/13, Score = 92%\n"
            "## UNLOAD TABLE SCOTT.ALL_TYPES OBJECT " + tobjd + " TO ALL_TYPES_" + tobjd + ".TXT;\n",
            bestMatch(st->ctx));

  // DEPT's three columns fit DEPT better than the wider tables that start alike.
  const mkdb::DemoTable& dept = d.table("DEPT");
  const std::string dobjd = std::to_string(dept.dataObjId);
  runCommand(*st, runSampleCommand, sampleCommand(dept.dataObjId, dept.headerBlock + 1));
  EXPECT_EQ("## Guess : SCOTT.DEPT , Match Count = 3/3, Score = 100%\n"
            "## UNLOAD TABLE SCOTT.DEPT OBJECT " + dobjd + " TO DEPT_" + dobjd + ".TXT;\n",
            bestMatch(st->ctx));

  freeGuessState(st->ctx);
  st->ctx = SessionContext{};  // the resources belong to the test session
}

}  // namespace
