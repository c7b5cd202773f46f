// Damaged undo segment headers and undo segment lists under a committed-only
// unload, through the built binary: the tool ends normally, writes only rows
// the table holds, and accounts for every row it asked about. A header that
// is no longer one (zeroed, or its transaction table moved out of the
// block) leaves its rows undecided; the other segment still answers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/txn_db.h"

namespace {

using mkdb::RowFate;

enum class Damage { kZeroed, kTableOutside, kNoise, kBadList, kHugeSlotCount };

struct DamageCase {
  Damage damage;
  uint8_t order;
};

class UndoDamage : public ::testing::TestWithParam<DamageCase> {};

// Rows under an ITL entry without a commit flag: the ones asked about.
bool asks(const mkdb::TxnRow& r) { return r.fate != RowFate::kUnlocked && r.fate != RowFate::kClean; }

uint32_t headerBlock(const mkdb::TxnDatabase& db, uint16_t usn) {
  for (const mkdb::DictUndoRow& u : db.dictionary.undoSegments)
    if (u.usn == usn) return u.block;
  return 0;
}

TEST_P(UndoDamage, RowsAreAccountedForAndNothingBreaks) {
  const DamageCase c = GetParam();
  TempDir dir;
  const mkdb::TxnDatabase db = mkdb::buildTxnDatabase(dir.path(), c.order);
  ASSERT_EQ(0, mkdb::writeTxnDatabase(db, dir.path(), "txn.cfg"));
  const uint16_t victim = 1;  // the segment with the most rows under it
  const uint32_t bs = db.file.blockSize;
  const std::string path = dir.file("txn01.dbf");
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t at = static_cast<size_t>(headerBlock(db, victim)) * bs;
  ASSERT_GT(at, 0u);
  ASSERT_LE(at + bs, bytes.size());
  std::mt19937 rng(static_cast<uint32_t>(c.damage) * 7u + c.order);
  std::string settings;
  switch (c.damage) {
    case Damage::kZeroed: std::fill(bytes.begin() + at, bytes.begin() + at + bs, '\0'); break;
    case Damage::kTableOutside:
      // The offset field (16-bit at 44) pushes the slot table past the block.
      bytes[at + 44] = bytes[at + 45] = '\xff';
      break;
    case Damage::kNoise:
      for (size_t i = 20; i + 4 < bs; i++) bytes[at + i] = static_cast<char>(rng());
      break;
    case Damage::kHugeSlotCount: settings = "SET TRANS_COUNT 65535\n"; break;
    case Damage::kBadList:
      dir.write("ZUTDICT/ZUTUNDO.TXT", "x\n1,4\n99999999,4,30\n1,4,30,3\n,\n" + std::string(3000, '9') +
                                           "\n2,1023,4294967295,3,2,\n1,4,99999999999,\n");
      break;
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string byteOrder = c.order == mkdb::kBig ? "BIG" : "LITTLE";
  const RunResult run = runZut(dir.path(), "SET BYTE_ORDER " + byteOrder + "\n" + settings +
                                               "OPEN txn.cfg\nSET COMMITED_ONLY TRUE\n"
                                               "UNLOAD TABLE scott.txn_rows TO rows.txt;\n"
                                               "ORADUMP FILE 4 BLOCK " + std::to_string(db.dataBlock) +
                                               "\nSCAN UNDO\nEXIT\n");
  ASSERT_EQ(0, run.status) << run.out;

  // Every row written is one of the table's, in slot order, and no row of a
  // transaction still open is among them.
  std::string all, written = dir.read("rows.txt");
  uint64_t asked = 0, askedVictim = 0;
  size_t pos = 0;
  for (const mkdb::TxnRow& r : db.rows) {
    const std::string line = r.id + "|" + r.note + "\r\n";
    const size_t found = written.find(line, pos);
    if (found != std::string::npos) {
      EXPECT_TRUE(r.fate != RowFate::kActive || r.usn == victim) << line;
      pos = found + line.size();
      all += line;
    }
    if (asks(r)) {
      asked++;
      if (r.usn == victim) askedVictim++;
    }
  }
  EXPECT_EQ(all, written);
  // The summary accounts for every row asked about.
  const size_t s = run.out.find("Undo: ");
  ASSERT_NE(std::string::npos, s) << run.out;
  unsigned long long kept = 0, open = 0, undecided = 0;
  ASSERT_EQ(3, sscanf(run.out.c_str() + s,
                      "Undo: %llu rows of committed transactions kept (delayed cleanout), %llu rows of "
                      "open transactions left out, %llu rows undecided",
                      &kept, &open, &undecided));
  EXPECT_EQ(asked, kept + open + undecided);
  if (c.damage == Damage::kZeroed || c.damage == Damage::kTableOutside) {
    // Only the reused slot of the other segment answers; segment 2 has no header.
    uint64_t otherKept = 0;
    for (const mkdb::TxnRow& r : db.rows)
      if (asks(r) && r.usn != victim && mkdb::txnRowCommitted(r.fate)) otherKept++;
    EXPECT_EQ(otherKept, kept);
    EXPECT_EQ(0u, open);
    EXPECT_LE(askedVictim, undecided);
  }
  if (c.damage == Damage::kBadList) {
    // The one line that parses names segment 1's header; the others are passed over.
    uint64_t victimKept = 0, victimOpen = 0;
    for (const mkdb::TxnRow& r : db.rows) {
      if (!asks(r) || r.usn != victim) continue;
      if (r.fate == RowFate::kActive) victimOpen++;
      else if (mkdb::txnRowCommitted(r.fate)) victimKept++;
    }
    EXPECT_EQ(victimKept, kept);
    EXPECT_EQ(victimOpen, open);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndoDamage,
    ::testing::Values(DamageCase{Damage::kZeroed, mkdb::kLittle}, DamageCase{Damage::kZeroed, mkdb::kBig},
                      DamageCase{Damage::kTableOutside, mkdb::kLittle},
                      DamageCase{Damage::kTableOutside, mkdb::kBig}, DamageCase{Damage::kNoise, mkdb::kLittle},
                      DamageCase{Damage::kNoise, mkdb::kBig}, DamageCase{Damage::kHugeSlotCount, mkdb::kBig},
                      DamageCase{Damage::kBadList, mkdb::kLittle}));

}  // namespace
