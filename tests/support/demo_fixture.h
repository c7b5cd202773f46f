// The demo database in a scratch directory, driven through the built binary,
// and the rows its tables hold as the text unload writes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"
#include "tools/builder/row_builder.h"

using Rows = std::vector<std::vector<std::string>>;

struct Demo {
  TempDir dir;
  mkdb::DemoDatabase db;
  explicit Demo(void (*change)(mkdb::DemoDatabase&) = nullptr) {
    db = mkdb::buildDemoDatabase(dir.path());
    if (change) change(db);
    EXPECT_EQ(0, mkdb::writeDemoDatabase(db, dir.path(), "demo.cfg"));
  }
  const mkdb::DemoTable& table(const std::string& name) const {
    const mkdb::DemoTable* t = db.table(name);
    EXPECT_NE(nullptr, t) << name;
    return *t;
  }
  // The transcript after the banner and the OPEN listing (dates kept); the
  // session must end with status 0.
  std::string session(const std::string& input) const {
    RunResult r = runZut(dir.path(), "OPEN demo.cfg\n" + input + "EXIT\n");
    EXPECT_EQ(0, r.status);
    return afterListing(r.out);
  }
  std::string afterListing(const std::string& transcript) const {
    std::string out = transcript.substr(std::min(transcript.size(), zutBanner().size()));
    const size_t listed = out.find("users01.dbf\n");
    EXPECT_NE(std::string::npos, listed) << out;
    return listed == std::string::npos ? out : out.substr(listed + 12);
  }
};

// The same transcript with date lines as "<date>".
inline std::string session(const Demo& d, const std::string& input) {
  return maskDateLines(d.session(input));
}

inline Rows splitRows(const std::string& text, const std::string& field = "|",
                      const std::string& record = "\r\n") {
  Rows rows;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(record, pos);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> row;
    const std::string line = text.substr(pos, end - pos);
    for (size_t p = 0;;) {
      const size_t q = line.find(field, p);
      row.push_back(line.substr(p, q == std::string::npos ? std::string::npos : q - p));
      if (q == std::string::npos) break;
      p = q + field.size();
    }
    rows.push_back(row);
    pos = end + record.size();
  }
  return rows;
}

// The fields of a CSV file as Python's csv module reads them, byte for byte
// (read as Latin-1, every byte is one character).
inline Rows readCsv(const TempDir& dir, const std::string& name) {
  dir.write("read_csv.py",
            "import csv, sys\n"
            "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
            "    for row in csv.reader(f):\n"
            "        print(' '.join('=' + v.encode('latin-1').hex() for v in row))\n");
  const std::string cmd = "cd '" + dir.path() + "' && python3 read_csv.py '" + name +
                          "' > read_csv.out";
  EXPECT_EQ(0, system(cmd.c_str())) << "python3 could not read " << name;
  Rows rows;
  for (const std::vector<std::string>& line : splitRows(dir.read("read_csv.out"), " ", "\n")) {
    std::vector<std::string> row;
    for (const std::string& hex : line) {
      std::string v;
      for (size_t i = 1; i + 1 < hex.size(); i += 2)
        v.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
      row.push_back(v);
    }
    rows.push_back(row);
  }
  return rows;
}

// What the text output of a table holds: NULL as an empty field, trailing
// NULL columns not stored and so not written.
inline Rows expectedRows(const mkdb::DemoTable& t) {
  Rows rows;
  for (const mkdb::DemoRow& r : t.rows) {
    size_t n = r.size();
    while (n > 0 && !r[n - 1]) n--;
    std::vector<std::string> row;
    for (size_t i = 0; i < n; i++) row.push_back(r[i] ? *r[i] : "");
    if (row.empty()) row.push_back("");
    rows.push_back(row);
  }
  return rows;
}

// Adds a heap table SCOTT.name to the demo file before it is written: its
// segment header at block `header` (one extent of `blocks` blocks after it,
// below the end of the file), its rows given as the text the tool writes
// (encoded by column type; nullopt is NULL) and its dictionary lines. The
// table is listed in db.tables, so Demo::table finds it.
inline void addDemoTable(mkdb::DemoDatabase& db, const std::string& name, uint32_t objd,
                         uint32_t header, uint32_t blocks,
                         const std::vector<mkdb::DictColumnSpec>& columns,
                         const std::vector<mkdb::DemoRow>& rows) {
  mkdb::FileImage& f = db.files[0];
  std::vector<mkdb::TableRow> packed(rows.size());
  for (size_t r = 0; r < rows.size(); r++)
    for (size_t c = 0; c < rows[r].size(); c++) {
      if (!rows[r][c]) {
        packed[r].values.push_back(std::nullopt);
        continue;
      }
      OracleBytes b;
      EXPECT_TRUE(mkdb::encodeDemoValue(columns[c], *rows[r][c], b)) << name << " " << c;
      packed[r].values.push_back(b);
    }
  mkdb::PackOptions options;
  options.objd = objd;
  const std::vector<uint32_t> used = mkdb::packRows(f, header + 1, packed, options);
  EXPECT_FALSE(used.empty());
  EXPECT_LE(used.size(), blocks);
  mkdb::SegmentPlan seg;
  seg.block = header;
  seg.objd = objd;
  seg.extents = {mkdb::extentAt(f, header + 1, blocks)};
  EXPECT_EQ(0, mkdb::addSegmentHeader(f, seg));
  mkdb::DictStorage st;
  st.dataObjId = objd;
  st.tablespace = 4;
  st.file = 4;
  st.block = header;
  mkdb::DemoTable t;
  t.name = name;
  t.objId = mkdb::addDictTable(db.dictionary, "SCOTT", name, st, columns, objd - 1);
  t.dataObjId = objd;
  t.headerBlock = header;
  t.columns = columns;
  t.rows = rows;
  db.tables.push_back(t);
}

inline mkdb::DictColumnSpec demoColumn(const std::string& name, uint32_t type,
                                       uint32_t length = 0) {
  mkdb::DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}
