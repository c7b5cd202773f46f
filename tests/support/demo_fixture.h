// The demo database in a scratch directory, driven through the built binary,
// and the rows its tables hold as the text unload writes them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"

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
