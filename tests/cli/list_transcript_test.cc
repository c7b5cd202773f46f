// LIST through the built tool, on dictionaries the builder writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "values/charset.h"
#include "tests/support/test_util.h"
#include "tools/builder/dict_files.h"

namespace {

using namespace mkdb;

const std::string kListUsage =
    "  LIST { TABLE | VIEW | PROCEDURE | FUNCTION |INDEX | PACKAGE } username\n"
    "  LIST { USER | CHARSET } \n";

// What the tool writes after its banner for the given input.
std::string listSession(const TempDir& d, const std::string& input) {
  RunResult r = runZut(d.path(), input);
  EXPECT_EQ(0, r.status);
  const std::string banner = zutBanner();
  EXPECT_EQ(banner, r.out.substr(0, banner.size()));
  return r.out.substr(banner.size());
}

void writeScott(const TempDir& d) {
  DictionaryRows r;
  addDictUser(r, "SYS");
  addDictTable(r, "SCOTT", "EMP", {73181, 4, 4, 130, 0}, {{"EMPNO", 2, 22, 4, 0, true, 0, 0, true}}, 73181);
  addDictTable(r, "SCOTT", "SALES", {0, 4, 0, 0, 0}, {{"ID", 2, 22, {}, {}, false, 0, 0, true}}, 73190);
  addDictPartition(r, "SCOTT", "SALES", "P2023", {73191, 4, 4, 200, 0}, 19, 73191);
  addDictPartition(r, "SCOTT", "SALES", "SP1", {73192, 4, 4, 210, 0}, 34, 73192);
  r.objects.push_back({73200, 1, "EMP_V", "", 4, ""});
  r.objects.push_back({73201, 1, "PK_EMP", "", 1, ""});
  r.objects.push_back({73202, 1, "RAISE", "", 7, ""});
  r.objects.push_back({73203, 1, "BONUS_OF", "", 8, ""});
  r.objects.push_back({73204, 1, "PAYROLL", "", 9, ""});
  addDictUser(r, "HR");
  addDictUser(r, "APP");
  ASSERT_TRUE(writeDictionaryFiles(d.file("ZUTDICT"), r));
}

TEST(ListTranscript, UsageWhenNothingToList) {
  TempDir d;
  EXPECT_EQ("ZUT> " + kListUsage + "ZUT> " + kListUsage + "ZUT> " + kListUsage + "ZUT> ",
            listSession(d, "LIST\nLIST TABLE\nlist nothing here\nexit\n"));
}

TEST(ListTranscript, Users) {
  TempDir d;
  EXPECT_EQ("ZUT> ZUT> ", listSession(d, "LIST USER\nexit\n"));  // no dictionary yet
  writeScott(d);
  char line[256];
  snprintf(line, sizeof line, " %-31s %-31s %-31s\n %-31s\n\n", "SYS", "SCOTT", "HR", "APP");
  EXPECT_EQ("ZUT> " + std::string(line) + "ZUT> ", listSession(d, "list user\nexit\n"));
}

TEST(ListTranscript, ObjectKinds) {
  TempDir d;
  writeScott(d);
  EXPECT_EQ("ZUT> "
            " UNLOAD TABLE scott.EMP TO EMP.txt;\n"
            " UNLOAD TABLE scott.SALES TO SALES.txt;\n"
            " UNLOAD TABLE scott.SALES PARTITION P2023 TO SALES_P2023.txt;\n"
            " UNLOAD TABLE scott.SALES PARTITION SP1 TO SALES_SP1.txt;\n"
            "ZUT> ",
            listSession(d, "LIST TABLE scott\nexit\n"));
  EXPECT_EQ("ZUT>    EMP_V \nZUT>    PK_EMP \nZUT>    RAISE \nZUT>    BONUS_OF \n"
            "ZUT>    PAYROLL \nZUT> ",
            listSession(d, "LIST VIEW SCOTT\nLIST INDEX SCOTT\nLIST PROCEDURE SCOTT\n"
                           "LIST FUNCTION SCOTT\nLIST PACKAGE SCOTT\nexit\n"));
  // The last kind keyword decides.
  EXPECT_EQ("ZUT>    EMP_V \nZUT> ", listSession(d, "LIST TABLE SCOTT VIEW SCOTT\nexit\n"));
}

TEST(ListTranscript, DumpStyleAndUnknownUser) {
  TempDir d;
  writeScott(d);
  EXPECT_EQ("ZUT>   Current OUTPUT_STYLE is : DMP\n"
            "ZUT> "
            " UNLOAD TABLE SCOTT.EMP TO EMP.dmp;\n"
            " UNLOAD TABLE SCOTT.SALES TO SALES.dmp;\n"
            " UNLOAD TABLE SCOTT.SALES PARTITION P2023 TO SALES_P2023.dmp;\n"
            " UNLOAD TABLE SCOTT.SALES PARTITION SP1 TO SALES_SP1.dmp;\n"
            "ZUT> ",
            listSession(d, "SET OUTPUT_STYLE DMP\nLIST TABLE SCOTT\nexit\n"));
  EXPECT_NE(std::string::npos,
            listSession(d, "SET OUTPUT_STYLE CSV\nLIST TABLE SCOTT\nexit\n")
                .find(" UNLOAD TABLE SCOTT.EMP TO EMP.csv;\n"));
  // One lookup per OBJ$ type of a table listing, each reporting the user.
  EXPECT_EQ("ZUT> User (NOBODY) does not exists.\nUser (NOBODY) does not exists.\n"
            "User (NOBODY) does not exists.\nZUT> User (NOBODY) does not exists.\nZUT> ",
            listSession(d, "LIST TABLE NOBODY\nLIST VIEW NOBODY\nexit\n"));
}

TEST(ListTranscript, ToFile) {
  TempDir d;
  writeScott(d);
  EXPECT_EQ("ZUT> ZUT> ", listSession(d, "LIST TO tables.txt TABLE SCOTT\nexit\n"));
  EXPECT_EQ(" UNLOAD TABLE SCOTT.EMP TO EMP.txt;\n"
            " UNLOAD TABLE SCOTT.SALES TO SALES.txt;\n"
            " UNLOAD TABLE SCOTT.SALES PARTITION P2023 TO SALES_P2023.txt;\n"
            " UNLOAD TABLE SCOTT.SALES PARTITION SP1 TO SALES_SP1.txt;\n",
            d.read("tables.txt"));
}

std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

// Names from the dictionary never choose where files go: the script LIST
// writes and the unloads it runs stay in the working directory, under the
// names made safe.
TEST(ListTranscript, DictionaryNamesNeverLeaveTheWorkingDirectory) {
  TempDir d;
  const std::string work = d.file("a/b");
  std::filesystem::create_directories(work);
  DictionaryRows r;
  const std::vector<DictColumnSpec> id = {{"ID", 2, 22, {}, {}}};
  addDictTable(r, "SCOTT", "../../escaped", {73181, 4, 4, 130, 0}, id, 73181);
  addDictTable(r, "SCOTT", "CTL\x01" "NAME", {73182, 4, 4, 140, 0}, id, 73182);
  addDictPartition(r, "SCOTT", "../../escaped", "../p1", {73183, 4, 4, 150, 0}, 19, 73183);
  ASSERT_TRUE(writeDictionaryFiles(work + "/ZUTDICT", r));
  EXPECT_EQ(0, runZut(work, "LIST TABLE SCOTT TO list.sql\n@list.sql\nEXIT\n").status);
  EXPECT_EQ(" UNLOAD TABLE SCOTT.../../escaped TO _._.._escaped.txt;\n"
            " UNLOAD TABLE SCOTT.CTL\x01" "NAME TO CTL_NAME.txt;\n"
            " UNLOAD TABLE SCOTT.../../escaped PARTITION ../p1 TO _._.._escaped__._p1.txt;\n",
            d.read("a/b/list.sql"));
  EXPECT_EQ(std::set<std::string>{"a"}, filesIn(d.path()));
  EXPECT_EQ(std::set<std::string>{"b"}, filesIn(d.file("a")));
  EXPECT_EQ((std::set<std::string>{"ZUTDICT", "LOBDATA", "list.sql", "_._.._escaped.txt",
                                   "_._.._escaped_syntax.sql", "_._.._escaped_sqlldr.ctl",
                                   "CTL_NAME.txt", "CTL_NAME_syntax.sql", "CTL_NAME_sqlldr.ctl",
                                   "_._.._escaped__._p1.txt", "_._.._escaped__._p1_sqlldr.ctl"}),
            filesIn(work));
  EXPECT_NE(std::string::npos,
            d.read("a/b/_._.._escaped__._p1_sqlldr.ctl").find("INFILE '_._.._escaped__._p1.txt'"));
}

TEST(ListTranscript, Charset) {
  TempDir d;
  FILE* f = tmpfile();
  ASSERT_NE(nullptr, f);
  get_ora_charset_list(f);
  std::string expect;
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) expect.append(buf, n);
  fclose(f);
  ASSERT_NE(std::string::npos, expect.find("AL32UTF8"));
  EXPECT_EQ("ZUT> " + expect + "ZUT> ", listSession(d, "LIST CHARSET\nexit\n"));
}

}  // namespace
