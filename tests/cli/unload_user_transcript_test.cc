// UNLOAD USER through the built binary on the demo database: every table of
// the owner into the directory with its scripts, compared row for row with
// the builder's rows, and the manifest read back by Python's csv module,
// with a damaged table recorded and the others complete.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/demo_fixture.h"

namespace {

bool exists(const Demo& d, const std::string& name) {
  struct stat st;
  return stat(d.dir.file(name).c_str(), &st) == 0;
}

// A table whose name would climb out of the directory, with a quote for the
// manifest to quote.
const char* const kHostile = "../EVIL \"Q\"";

void addHostileTable(mkdb::DemoDatabase& db) {
  addDemoTable(db, kHostile, 99301, 460, 2, {demoColumn("ID", 2, 22)}, {{"7"}, {"8"}});
}

// The manifest's lines by table name; the header line under "table".
std::map<std::string, std::vector<std::string>> manifestByTable(const Demo& d,
                                                                const std::string& path) {
  std::map<std::string, std::vector<std::string>> lines;
  for (const std::vector<std::string>& line : readCsv(d.dir, path)) {
    EXPECT_EQ(9u, line.size());
    if (line.size() == 9) lines[line[1]] = line;
  }
  return lines;
}

TEST(UnloadUser, EveryTableWithItsScriptsAndAManifest) {
  Demo d(addHostileTable);
  // DEPT's one data block with a byte changed under BLOCK_CHECK.
  const mkdb::DemoTable& dept = d.table("DEPT");
  std::string data = d.dir.read("users01.dbf");
  data[static_cast<size_t>(dept.headerBlock + 1) * 8192 + 300] ^= 0x5A;
  d.dir.write("users01.dbf", data);
  // EMP's output cannot be created: its rows must not go to the screen.
  ASSERT_EQ(0, system(("mkdir -p '" + d.dir.file("out/sub/SCOTT.EMP.txt") + "'").c_str()));

  const std::string out =
      session(d, "SET BLOCK_CHECK 1\nUNLOAD USER scott TO out/sub/ PARALLEL 2;\n");
  const size_t tables = d.db.tables.size();
  EXPECT_NE(std::string::npos,
            out.find("Unload incomplete: 2 of " + std::to_string(tables) +
                     " tables failed or are missing rows; see out/sub/manifest.csv\n"))
      << out;
  EXPECT_EQ(tables, countOf(out, "Unload table SCOTT."));
  EXPECT_NE(std::string::npos, out.find("Cannot create out/sub/SCOTT.EMP.txt: Is a directory\n"));
  EXPECT_NE(std::string::npos, out.find("  SCOTT.EMP failed; the next table goes on.\n"));
  EXPECT_EQ(std::string::npos, out.find("KING"));

  auto manifest = manifestByTable(d, "out/sub/manifest.csv");
  EXPECT_EQ((std::vector<std::string>{"owner", "table", "data object id", "rows",
                                      "unreadable blocks", "warnings", "output file",
                                      "elapsed seconds", "status"}),
            manifest["table"]);
  EXPECT_EQ(tables + 1, manifest.size());
  for (const mkdb::DemoTable& t : d.db.tables) {
    SCOPED_TRACE(t.name);
    const std::vector<std::string>& line = manifest[t.name];
    ASSERT_EQ(9u, line.size());
    const bool damaged = t.name == "DEPT", failed = t.name == "EMP";
    std::string file = "SCOTT." + t.name;
    for (char& c : file)
      if (c == '$' || c == '/') c = '_';
    file += ".txt";
    EXPECT_EQ("SCOTT", line[0]);
    if (t.dataObjId != 0 && t.cluster == 0) {
      EXPECT_EQ(std::to_string(t.dataObjId), line[2]);
    }
    EXPECT_EQ(std::to_string(damaged || failed ? 0 : t.rows.size()), line[3]);
    EXPECT_EQ(damaged ? "1" : "0", line[4]);
    EXPECT_EQ("0", line[5]);
    EXPECT_EQ(file, line[6]);
    EXPECT_NE(std::string::npos, line[7].find('.'));
    EXPECT_EQ(damaged ? "incomplete" : failed ? "failed" : "ok", line[8]);
    if (damaged || failed) continue;
    EXPECT_EQ(expectedRows(t), splitRows(d.dir.read("out/sub/" + file)));
    const std::string stem = "out/sub/" + file.substr(0, file.size() - 4);
    EXPECT_TRUE(exists(d, stem + "_syntax.sql"));
    EXPECT_NE(std::string::npos,
              d.dir.read(stem + "_sqlldr.ctl").find("INFILE '" + stem + ".txt' "));
  }
  // The hostile name stays inside the directory.
  EXPECT_FALSE(exists(d, "out/EVIL \"Q\".txt"));
  EXPECT_TRUE(exists(d, "out/sub/SCOTT..._EVIL \"Q\".txt"));
}

TEST(UnloadUser, EveryNonSystemOwnerAndRefusals) {
  Demo d;
  const std::string out = session(d,
                                  "SET OUTPUT_STYLE CSV\nUNLOAD USER * TO all;\n"
                                  "UNLOAD USER NOBODY TO none;\n"
                                  "UNLOAD USER SCOTT TABLE SCOTT.EMP TO none;\n"
                                  "UNLOAD USER SCOTT TO users01.dbf;\n");
  const size_t tables = d.db.tables.size();
  EXPECT_NE(std::string::npos, out.find("Sucessfully unload " + std::to_string(tables) +
                                        " tables, "))
      << out;
  auto manifest = manifestByTable(d, "all/manifest.csv");
  EXPECT_EQ(tables + 1, manifest.size());
  for (const mkdb::DemoTable& t : d.db.tables) EXPECT_EQ("SCOTT", manifest[t.name][0]) << t.name;
  EXPECT_EQ(expectedRows(d.table("EMP")), splitRows(d.dir.read("all/SCOTT.EMP.csv"), ",", "\n"));
  EXPECT_NE(std::string::npos, out.find("  USER NOBODY does not exists!\n"));
  EXPECT_NE(std::string::npos, out.find("  UNLOAD USER owner|* takes only TO directory"));
  EXPECT_NE(std::string::npos,
            out.find("  users01.dbf is an input file of this session; nothing written.\n"));
  EXPECT_FALSE(exists(d, "none"));
}

}  // namespace
