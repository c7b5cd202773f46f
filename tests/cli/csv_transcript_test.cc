// Text that loads back: CSV read back by an independent reader (Python's
// csv module), the warning for values that hold a tag, and control file
// fields wide enough for what was written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/demo_fixture.h"
#include "tests/support/lob_db.h"

namespace {

mkdb::DictColumnSpec national(const std::string& name, uint32_t length) {
  mkdb::DictColumnSpec c = demoColumn(name, 1, length);
  c.charsetId = 2000;
  c.charsetForm = 2;
  return c;
}

std::string repeated(const std::string& piece, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; i++) s += piece;
  return s;
}

// Values full of separators, quotes, CR/LF, blanks and multibyte text; a
// LONG of 22000 bytes split over row pieces; NULLs in the middle and at the
// end of rows.
const std::string kLong = repeated("x,y\"\r\n|z", 2750);

void addOddText(mkdb::DemoDatabase& db) {
  addDemoTable(db, "ODD_TEXT", 99201, 440, 12,
               {demoColumn("ID", 2, 22), demoColumn("V", 1, 200), demoColumn("C", 96, 12),
                national("N", 16), demoColumn("R", 23, 2000), demoColumn("L", 8),
                demoColumn("T", 1, 10)},
               {{"1", "a,b", "x", "caf\xc3\xa9,\"q\"", "00FF", "plain", "end"},
                {"2", "say \"hi\"", " lead", repeated("\xe6\x97\xa5\xe6\x9c\xac", 4), repeated("AB", 2000),
                 kLong, std::nullopt},
                {"3", "line1\r\nline2", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                {"4", "trail  ", "|pipe", "\n", std::nullopt, "\r", std::nullopt},
                {"-1.5", "tab\there", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "x"},
                {"5", "plain"}});
}

TEST(CsvOutput, PythonReadsBackEveryValueAndTheControlFileSaysCsv) {
  Demo d(addOddText);
  const mkdb::DemoTable& t = d.table("ODD_TEXT");
  const std::string out = session(d,
                                  "SET OUTPUT_STYLE CSV\nSET CSV_HEADER ON\n"
                                  "UNLOAD TABLE SCOTT.ODD_TEXT TO odd.csv;\n"
                                  "UNLOAD OBJECT 99201 COLUMN NUMBER VARCHAR2 SKIP SKIP SKIP SKIP SKIP TO o.csv;\n");
  EXPECT_EQ(0u, countOf(out, "Warning")) << out;
  EXPECT_EQ(2u, countOf(out, "Sucessfully unload 6 rows ...\n")) << out;

  // Every row has a field per column, NULLs as empty fields.
  Rows expected = {{"ID", "V", "C", "N", "R", "L", "T"}};
  for (std::vector<std::string> row : expectedRows(t)) {
    row.resize(t.columns.size());
    expected.push_back(row);
  }
  EXPECT_EQ(expected, readCsv(d.dir, "odd.csv"));
  // Fields are quoted only when they must be.
  EXPECT_EQ(0u, d.dir.read("odd.csv").find("ID,V,C,N,R,L,T\n1,\"a,b\",x,\"caf\xc3\xa9,\"\"q\"\"\",00FF,plain,end\n"));
  // Without a dictionary the header names the columns by position.
  Rows firstTwo = {{"C1", "C2"}};
  for (size_t i = 1; i < expected.size(); i++) firstTwo.push_back({expected[i][0], expected[i][1]});
  EXPECT_EQ(firstTwo, readCsv(d.dir, "o.csv"));

  const std::string ctl = d.dir.read("ODD_TEXT_sqlldr.ctl");
  EXPECT_NE(std::string::npos, ctl.find("OPTIONS(SKIP=1, ")) << ctl;
  EXPECT_NE(std::string::npos, ctl.find("INFILE 'odd.csv'\n")) << ctl;
  EXPECT_NE(std::string::npos,
            ctl.find("FIELDS CSV WITH EMBEDDED TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\"' "))
      << ctl;
}

TEST(TextOutput, ValuesHoldingTagsAreCountedAndFieldsAdmitTheLongestValue) {
  Demo d(addOddText);
  const mkdb::DemoTable& t = d.table("ODD_TEXT");
  size_t tagged = 0;
  for (const std::vector<std::string>& row : expectedRows(t))
    for (const std::string& v : row) tagged += v.find('|') != std::string::npos ||
                                               v.find("\r\n") != std::string::npos;
  ASSERT_EQ(3u, tagged);  // the LONG, "line1\r\nline2" and "|pipe"
  const std::string out = session(d, "UNLOAD TABLE SCOTT.ODD_TEXT TO odd.txt;\n");
  EXPECT_EQ(1u, countOf(out, "Warning: 3 values contain the field or record tag; the text will "
                             "not load back as written. Use SET OUTPUT_STYLE CSV or other "
                             "tags.\nSucessfully unload 6 rows ...\n"))
      << out;

  // LONG: the whole value over its pieces; RAW: two hex digits a byte;
  // NVARCHAR2(16): 16 bytes of UTF-16 became 24 bytes of UTF-8.
  const std::string ctl = d.dir.read("ODD_TEXT_sqlldr.ctl");
  for (const std::string& clause :
       {"\"L\"    CHAR(" + std::to_string(kLong.size()) + ") ", std::string("\"R\"    CHAR(4000) "),
        std::string("\"N\"    CHAR(24) "), std::string("\"V\"    CHAR(200) ")})
    EXPECT_NE(std::string::npos, ctl.find(clause)) << clause << "\n" << ctl;
}

// LOB values in CSV are always enclosed, their quotes doubled: an inline
// CLOB, one in LOB blocks, a BLOB in hexadecimal, NULL and an empty CLOB.
TEST(CsvOutput, LobValuesAreQuotedWhole) {
  TempDir dir;
  LobDb db(dir, 8192, 0);
  const std::string inlineText = "in \"line\", with\r\nbreaks";
  const Bytes outOfLine = [] {
    std::string t;
    for (int i = 0; i < 2000; i++) t += "a,\"b\"\n";
    return Bytes(t.begin(), t.end());
  }();
  const mkdb::LobId stored = db.newId();
  const mkdb::StoredLob s = db.store(stored, outOfLine);
  db.row(mkdb::encodeLocator(mkdb::inlineLocator(db.newId(), Bytes(inlineText.begin(), inlineText.end()))),
         "", mkdb::encodeLocator(mkdb::inlineLocator(db.newId(), Bytes{0xAB, 0x22}, true)), "");
  db.row(mkdb::encodeLocator(mkdb::mappedLocator(stored, s)), "", std::nullopt, "");
  db.row(mkdb::encodeLocator(mkdb::inlineLocator(db.newId(), Bytes{})), "", std::nullopt, "");
  db.write(dir);
  const RunResult r = runLobSession(
      dir, "SET OUTPUT_STYLE CSV\nUNLOAD OBJECT 7001 COLUMN NUMBER CLOB BLOB TO lobs.csv;\n");
  EXPECT_NE(std::string::npos, r.out.find("Sucessfully unload 3 rows ...")) << r.out;
  const Rows rows = readCsv(dir, "lobs.csv");
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ((std::vector<std::string>{"1", inlineText, "\xab\x22"}), rows[0]);
  ASSERT_EQ(3u, rows[1].size());
  EXPECT_TRUE(rows[1][1] == asText(outOfLine)) << rows[1][1].size() << " bytes";
  EXPECT_EQ((std::vector<std::string>{"3", "", ""}), rows[2]);
  EXPECT_NE(std::string::npos, dir.read("lobs.csv").find("\n3,\"\",\n")) << "empty CLOB is \"\"";
}

}  // namespace
