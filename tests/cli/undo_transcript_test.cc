// COMMITED_ONLY through the built binary on a table whose rows sit under
// clean, uncleaned, active, reused, lost and older ITL entries: which rows
// come out, and the line that says what the undo segment headers answered.
// The rows and their fates come from the builder; what each fate must give
// is the decision rule, applied here to the builder's fates.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_util.h"
#include "tools/builder/dict_files.h"
#include "tools/builder/txn_db.h"

namespace {

using mkdb::RowFate;

struct UndoCase {
  uint8_t order;
  bool committedOnly;
  bool undoList;  // ZUTDICT/ZUTUNDO.TXT left in place
};

std::string summary(uint64_t kept, uint64_t open, uint64_t undecided) {
  return "Undo: " + std::to_string(kept) + " rows of committed transactions kept (delayed cleanout), " +
         std::to_string(open) + " rows of open transactions left out, " + std::to_string(undecided) +
         " rows undecided (undo segment header not found or older than the block).\n";
}

class CommittedOnly : public ::testing::TestWithParam<UndoCase> {};

TEST_P(CommittedOnly, RowsAndSummaryFollowTheUndoSlots) {
  const UndoCase c = GetParam();
  TempDir dir;
  const mkdb::TxnDatabase db = mkdb::buildTxnDatabase(dir.path(), c.order);
  ASSERT_EQ(0, mkdb::writeTxnDatabase(db, dir.path(), "txn.cfg"));
  if (!c.undoList) {
    ASSERT_EQ(0, remove(dir.file("ZUTDICT/ZUTUNDO.TXT").c_str()));
  }

  std::string expectRows;
  uint64_t kept = 0, open = 0, undecided = 0;
  for (const mkdb::TxnRow& r : db.rows) {
    const bool asked = r.fate != RowFate::kUnlocked && r.fate != RowFate::kClean;
    bool out = !c.committedOnly || mkdb::txnRowCommitted(r.fate);
    if (c.committedOnly && asked && !c.undoList) out = false;
    if (out) expectRows += r.id + "|" + r.note + "\r\n";
    if (!c.committedOnly || !asked) continue;
    if (!c.undoList) {
      undecided++;
    } else if (r.fate == RowFate::kActive) {
      open++;
    } else if (mkdb::txnRowCommitted(r.fate)) {
      kept++;
    } else {
      undecided++;
    }
  }

  const std::string order = c.order == mkdb::kBig ? "BIG" : "LITTLE";
  // The heap table and the index-organized one decide alike.
  for (const char* table : {"txn_rows", "txn_iot"}) {
    const RunResult run = runZut(dir.path(), "SET BYTE_ORDER " + order + "\nOPEN txn.cfg\nSET COMMITED_ONLY " +
                                                 (c.committedOnly ? "TRUE" : "FALSE") + "\nUNLOAD TABLE scott." +
                                                 table + " TO rows.txt;\nEXIT\n");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(expectRows, dir.read("rows.txt")) << table;
    const std::string done = "Sucessfully unload " + std::to_string(countOf(expectRows, "\r\n")) + " rows ...\n";
    if (c.committedOnly) {
      EXPECT_NE(std::string::npos, run.out.find(summary(kept, open, undecided) + done)) << table << run.out;
    } else {
      EXPECT_EQ(std::string::npos, run.out.find("Undo: ")) << run.out;
      EXPECT_NE(std::string::npos, run.out.find(done)) << table << run.out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommittedOnly,
                         ::testing::Values(UndoCase{mkdb::kLittle, true, true}, UndoCase{mkdb::kBig, true, true},
                                           UndoCase{mkdb::kLittle, true, false},
                                           UndoCase{mkdb::kBig, false, true}));

// ORADUMP of the data block: after each ITL line whose transaction the
// undo segment header answers for, the answer; none for the clean entry, the
// lost header and the slot older than the entry.
TEST(OradumpUndo, ResolvedEntriesCarryTheirVerdict) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TempDir dir;
    const mkdb::TxnDatabase db = mkdb::buildTxnDatabase(dir.path(), order);
    ASSERT_EQ(0, mkdb::writeTxnDatabase(db, dir.path(), "txn.cfg"));
    const std::string byteOrder = order == mkdb::kBig ? "BIG" : "LITTLE";
    const RunResult run = runZut(dir.path(), "SET BYTE_ORDER " + byteOrder + "\nOPEN txn.cfg\nORADUMP FILE " +
                                                 std::to_string(db.file.rfn) + " BLOCK " +
                                                 std::to_string(db.dataBlock) + "\nEXIT\n");
    EXPECT_EQ(0, run.status);
    // The ITL entries as the builder wrote them (usn.slot.wrap), each
    // followed by what its undo slot says.
    EXPECT_NE(std::string::npos, run.out.find("0x02 0x0001.003.00000273 ")) << run.out;
    EXPECT_NE(std::string::npos,
              run.out.find("\n     itl 0x02: committed at scn 0x0000.0080e5e1 (undo slot 0x03, wrap 0x273)\n0x03 "))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("\n     itl 0x03: not committed (undo slot 0x04, wrap 0x10)\n0x04 "))
        << run.out;
    EXPECT_NE(std::string::npos,
              run.out.find("\n     itl 0x04: committed, undo slot reused since (undo slot 0x02, wrap 0x21)\n0x05 "))
        << run.out;
    EXPECT_EQ(3u, countOf(run.out, "     itl 0x")) << run.out;
  }
}

// Without the dictionary's list, SCAN UNDO finds the headers by their
// blocks and writes a list that answers the same questions.
TEST(ScanUndo, FindsEveryHeaderAndTheUnloadDecidesAsWithTheDictionaryList) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TempDir dir;
    const mkdb::TxnDatabase db = mkdb::buildTxnDatabase(dir.path(), order);
    ASSERT_EQ(0, mkdb::writeTxnDatabase(db, dir.path(), "txn.cfg"));
    ASSERT_EQ(0, remove(dir.file("ZUTDICT/ZUTUNDO.TXT").c_str()));
    std::string expectList;
    uint64_t kept = 0, open = 0, undecided = 0;
    for (const mkdb::DictUndoRow& u : db.dictionary.undoSegments)
      for (uint32_t block : db.undoHeaders)
        if (u.block == block && u.file == db.file.rfn)
          expectList += std::to_string(u.usn) + "," + std::to_string(u.file) + "," + std::to_string(u.block) +
                        "," + std::to_string(db.file.tablespace) + ",,\n";
    ASSERT_FALSE(db.undoHeaders.empty());
    ASSERT_EQ(db.undoHeaders.size(), countOf(expectList, "\n"));
    for (const mkdb::TxnRow& r : db.rows) {
      if (r.fate == RowFate::kUnlocked || r.fate == RowFate::kClean) continue;
      if (r.fate == RowFate::kActive) {
        open++;
      } else if (mkdb::txnRowCommitted(r.fate)) {
        kept++;
      } else {
        undecided++;
      }
    }
    const std::string byteOrder = order == mkdb::kBig ? "BIG" : "LITTLE";
    const RunResult run =
        runZut(dir.path(), "SET BYTE_ORDER " + byteOrder +
                               "\nOPEN txn.cfg\nSCAN UNDO\nSET COMMITED_ONLY TRUE\n"
                               "UNLOAD TABLE scott.txn_rows TO rows.txt;\nEXIT\n");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(expectList, dir.read("ZUTDICT/ZUTUNDO.TXT"));
    EXPECT_NE(std::string::npos, run.out.find("  " + std::to_string(db.undoHeaders.size()) +
                                              " undo segment headers listed in ZUTDICT/ZUTUNDO.TXT\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find(summary(kept, open, undecided))) << run.out;
  }
}

}  // namespace
