// The undo verdict inside one unload: an undo segment header is read once
// and kept, so a header damaged on disk after the first question does not
// change later answers, while a new unload reads it again. The undo segment
// list parser takes only whole "us#,file,block" lines.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "rows/text_rows.h"
#include "rows/undo_verdict.h"
#include "tests/support/session_fixture.h"
#include "tools/builder/txn_db.h"

namespace {

struct Counts {
  uint64_t kept, open, undecided;
  bool operator==(const Counts& o) const { return kept == o.kept && open == o.open && undecided == o.undecided; }
};

// One committed-only walk of the data block; what the table counted in it.
Counts walk(TestSession& s, const mkdb::TxnDatabase& db, UndoTable& t) {
  const Counts before{t.rowsKept, t.rowsOpen, t.rowsUndecided};
  emptyReadAheadCache(s.data);
  EXPECT_EQ(s.ctx.blockSize, readSingleBlock(s.set, s.ctx, db.file.rfn, db.dataBlock));
  s.ctx.undoTable = &t;
  capture([&](FILE* out) { printDataRows2(out, s.ctx, 0, 0, 1); });
  s.ctx.undoTable = nullptr;
  t.memoValid = false;  // the next walk decides the entries again
  return {t.rowsKept - before.kept, t.rowsOpen - before.open, t.rowsUndecided - before.undecided};
}

TEST(UndoVerdict, HeadersAreReadOncePerUnload) {
  TempDir dir;
  const mkdb::TxnDatabase db = mkdb::buildTxnDatabase(dir.path(), mkdb::kLittle);
  ASSERT_EQ(0, mkdb::writeTxnDatabase(db, dir.path(), "txn.cfg"));
  TestSession s(8192, 0);
  s.open(dir, db.file.path + "\n");
  UndoTable first;
  ASSERT_TRUE(loadUndoSegmentList(first, dir.file("ZUTDICT/ZUTUNDO.TXT").c_str()));
  const Counts fresh = walk(s, db, first);
  EXPECT_NE(0u, fresh.kept);
  EXPECT_NE(0u, fresh.open);

  // Zero the header of segment 1 on disk.
  uint32_t header = 0;
  for (const mkdb::DictUndoRow& u : db.dictionary.undoSegments)
    if (u.usn == 1) header = u.block;
  ASSERT_NE(0u, header);
  const int fd = open(db.file.path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string zeros(db.file.blockSize, '\0');
  ASSERT_EQ(static_cast<ssize_t>(zeros.size()),
            pwrite(fd, zeros.data(), zeros.size(), static_cast<off_t>(header) * db.file.blockSize));
  close(fd);

  EXPECT_EQ(fresh, walk(s, db, first)) << "the same unload answers from the header it read";
  UndoTable second;
  ASSERT_TRUE(loadUndoSegmentList(second, dir.file("ZUTDICT/ZUTUNDO.TXT").c_str()));
  const Counts later = walk(s, db, second);
  EXPECT_EQ(0u, later.open) << "the active transaction's header is gone";
  EXPECT_GT(later.undecided, fresh.undecided);
}

TEST(UndoVerdict, ListLines) {
  struct Line {
    const char* text;
    bool ok;
    uint16_t usn, file;
    uint32_t block;
  };
  const Line lines[] = {
      {"1,4,30,3,2,\n", true, 1, 4, 30},  {"7,1023,4194303\n", true, 7, 1023, 4194303},
      {"0,1,128,,0,\r\n", true, 0, 1, 128}, {"1,4\n", false, 0, 0, 0},
      {"65536,4,30\n", false, 0, 0, 0},     {"1,1024,30\n", false, 0, 0, 0},
      {"1,4,4294967296\n", false, 0, 0, 0}, {"a,4,30\n", false, 0, 0, 0},
      {"1,4,30x\n", false, 0, 0, 0},        {"", false, 0, 0, 0},
  };
  for (const Line& l : lines) {
    uint16_t usn = 0, file = 0;
    uint32_t block = 0;
    EXPECT_EQ(l.ok, parseUndoSegmentLine(l.text, usn, file, block)) << l.text;
    if (!l.ok) continue;
    EXPECT_EQ(l.usn, usn) << l.text;
    EXPECT_EQ(l.file, file) << l.text;
    EXPECT_EQ(l.block, block) << l.text;
  }
}

}  // namespace
