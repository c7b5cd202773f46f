// ORADUMP through the built binary against expected dumps kept as fixtures
// (tests/fixtures/oradump/<case>.out, checked by hand against the layouts
// the builder writes). Each builder block is written once little-endian and
// once big-endian: both must print the same text. The two real Oracle blocks
// must print what Oracle printed for them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/block_fixture.h"
#include "tools/builder/index_builder.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"
#include "tools/builder/undo_builder.h"

namespace {

using mkdb::Block;
using mkdb::FileImage;

constexpr uint32_t kBlock = 20;

mkdb::Value number(const char* text) {
  OracleBytes b;
  EXPECT_TRUE(encodeOracleNumber(text, b)) << text;
  return b;
}
mkdb::Value chars(const std::string& s) { return OracleBytes(s.begin(), s.end()); }

mkdb::RowPiece piece(std::vector<mkdb::Value> columns, uint8_t flag = mkdb::kRowWhole, uint8_t lock = 0) {
  mkdb::RowPiece p;
  p.flag = flag;
  p.lock = lock;
  p.columns = std::move(columns);
  return p;
}

// A heap block: three ITL entries (a committed one whose undo sequence needs
// all 16 bits, an active one, an empty one), a clean SCN wrap carrying the
// 12.2 format flag, and slots of every kind.
void heapBlock(FileImage& f) {
  mkdb::DataBlockPlan plan;
  plan.objd = 74000;
  plan.itls = 3;
  plan.itlFlags = {mkdb::kItlCommitted | 0x4, mkdb::kItlUpperBound | 0x1, 0};  // CB--, --UT, ----
  mkdb::RowPiece empty;
  empty.empty = true;
  mkdb::RowPiece head = piece({number("7"), chars("HEAD")}, mkdb::kRowH | mkdb::kRowF, 2);
  head.next = {mkdb::makeAddress(4, 21), 3};
  plan.tables = {{piece({number("7369"), chars("SMITH"), std::nullopt, number("-1.5")}), empty,
                  piece({number("7499"), chars("ALLEN")}, mkdb::kRowWhole | mkdb::kRowD, 1), head}};
  ASSERT_EQ(0, mkdb::addRowBlock(f, kBlock, plan));
  Block& b = f.images[kBlock];
  mkdb::putUB2(b, 32, 0x8001, f.byteOrder);       // clean SCN wrap 1 with the flag bit
  mkdb::putUB2(b, 44 + 12, 0x187e, f.byteOrder);  // ITL 1: undo sequence
  mkdb::putUB1(b, 44 + 14, 0x05);                 // ITL 1: undo record
  for (size_t i = 0; i < 24; i++) mkdb::putUB1(b, 44 + 48 + i, 0);  // ITL 3: all zero
}

// A cluster block: the key table and two member tables.
void clusterBlock(FileImage& f) {
  mkdb::DataBlockPlan plan;
  plan.objd = 74100;
  plan.itls = 2;
  mkdb::RowPiece key = piece({number("10")}, mkdb::kRowK | mkdb::kRowWhole);
  mkdb::RowPiece dept = piece({chars("SALES")}, mkdb::kRowC | mkdb::kRowWhole);
  mkdb::RowPiece emp1 = piece({number("7499"), chars("ALLEN")}, mkdb::kRowC | mkdb::kRowWhole);
  mkdb::RowPiece emp2 = piece({number("7521"), chars("WARD")}, mkdb::kRowC | mkdb::kRowWhole);
  plan.tables = {{key}, {dept}, {emp1, emp2}};
  ASSERT_EQ(0, mkdb::addRowBlock(f, kBlock, plan));
}

// A basic-compressed block: repeated values become symbol rows.
void compressedBlock(FileImage& f) {
  std::vector<mkdb::RowValues> rows;
  for (int i = 0; i < 3; i++) rows.push_back({number(i == 2 ? "2" : "1"), chars("EAST"), chars("X")});
  mkdb::CompressOptions options;
  options.fixedRun = false;
  options.pairSymbols = false;
  ASSERT_EQ(3u, mkdb::addCompressedBlock(f, kBlock, 74200, rows, 0, options));
}

// A leaf block of an index-organized table with a two-byte data prefix: a
// live row with a non-key part and a deleted key-only row.
void indexLeafBlock(FileImage& f) {
  mkdb::IndexBlockPlan plan;
  plan.objd = 74300;
  plan.prefixSize = 2;
  mkdb::IndexRow a;
  a.prefix = {0xAB, 0xCD};
  a.key = {number("1")};
  a.hasNonKey = true;
  a.nonKey = piece({chars("ONE")});
  mkdb::IndexRow d;
  d.flag = mkdb::kIndexDeleted;
  d.prefix = {0x01, 0x02};
  d.key = {number("2")};
  plan.rows = {a, d};
  ASSERT_EQ(0, mkdb::addIndexBlock(f, kBlock, plan));
}

// A branch block: its rows carry no data prefix.
void indexBranchBlock(FileImage& f) {
  mkdb::IndexBlockPlan plan;
  plan.objd = 74300;
  plan.level = 1;
  plan.leftmostChild = mkdb::makeAddress(4, 30);
  plan.children = {{mkdb::makeAddress(4, 31), OracleBytes{0xC1, 0x0B}},
                   {mkdb::makeAddress(4, 32), OracleBytes{0xC1, 0x15}}};
  ASSERT_EQ(0, mkdb::addIndexBlock(f, kBlock, plan));
}

// Segment headers whose map spills into one extent map block (block 21).
void segmentPlan(FileImage& f, uint8_t type) {
  mkdb::SegmentPlan s;
  s.type = type;
  s.block = kBlock;
  s.objd = 74400;
  s.perBlock = 2;
  s.extents = {mkdb::extentAt(f, 24, 8), mkdb::extentAt(f, 32, 8), mkdb::extentAt(f, 40, 16)};
  s.mapBlocks = {21};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
}

void undoBlock(FileImage& f) {
  mkdb::UndoBlockPlan plan;
  plan.xidUsn = 6;
  plan.xidSlotWord = 0x5017;  // the top four bits are not part of the slot
  plan.xidWrap = 0x3e9;
  plan.sequence = 0x0149;
  plan.irb = 4;
  plan.icl = 3;
  plan.flag = 0x06;
  plan.recordLengths = {120, 64, 200, 12};
  mkdb::addUndoBlock(f, kBlock, plan);
}

void emptyUndoBlock(FileImage& f) {
  mkdb::UndoBlockPlan plan;
  plan.xidUsn = 1;
  plan.sequence = 2;
  mkdb::addUndoBlock(f, kBlock, plan);
}

mkdb::UndoSlot slot(uint16_t wrap, uint8_t state, uint8_t cflags, uint32_t scn, uint16_t next) {
  mkdb::UndoSlot s;
  s.wrap = wrap;
  s.state = state;
  s.cflags = cflags;
  s.lastBlock = mkdb::makeAddress(3, 0x3d6);
  s.scnBase = scn;
  s.scnWrap = 1;
  s.next = next;
  s.blocks = 2;
  s.commitTime = 1234567890;
  return s;
}

mkdb::UndoHeaderPlan undoHeaderPlan(const FileImage& f, uint8_t type) {
  mkdb::UndoHeaderPlan p;
  p.type = type;
  p.spare[0] = 0x11111111;
  p.extentsTotal = 3;
  p.blocks = 24;
  p.hwmExtent = 2, p.hwmBlock = 5, p.hwmExtentSize = 8, p.hwmAddress = mkdb::makeAddress(3, 45);
  p.object = 9;
  p.extents = {mkdb::extentAt(f, 24, 8), mkdb::extentAt(f, 32, 8), mkdb::extentAt(f, 40, 8)};
  p.tclScnBase = 0x001cc0f2;
  p.tclScnWrap = 2;
  p.tclUbaBlock = mkdb::makeAddress(3, 0x3d6);
  p.tclUbaSequence = 0x0149;
  p.tclUbaRecord = 0x27;
  p.slots = {slot(0x3e9, 9, 0x00, 0x001cc0f0, 1), slot(0x3ea, 10, 0x80, 0x001cc0f1, 2),
             slot(0x3eb, 9, 0x10, 0x001cc0f2, 0xff)};
  return p;
}

// Bytes next to single-byte fields that must not show: beside the UBA
// record of the transaction control and before a slot's flag byte.
void pokeUndoNeighbours(FileImage& f, const mkdb::UndoHeaderPlan& p) {
  Block& b = f.images[kBlock];
  const uint32_t t = mkdb::undoTableBase(f, p);
  mkdb::putUB1(b, t + 15, 0x77);
  mkdb::putUB1(b, t + 104 + 2, 0x55);
}

void undoHeader14(FileImage& f) {
  mkdb::UndoHeaderPlan p = undoHeaderPlan(f, 14);
  p.offset = 2000;
  mkdb::addUndoHeader(f, kBlock, p);
  pokeUndoNeighbours(f, p);
}

void undoHeader38(FileImage& f) {
  mkdb::UndoHeaderPlan p = undoHeaderPlan(f, 38);
  p.offset = 4000;
  p.extents.pop_back();
  p.timestamps = {1600000000, 1600000100};
  mkdb::addUndoHeader(f, kBlock, p);
  pokeUndoNeighbours(f, p);
}

// With 16 KiB blocks the table has no slots; its control sits on the
// spares, so it holds zeros here.
void undoHeader38Large(FileImage& f) {
  mkdb::UndoHeaderPlan p = undoHeaderPlan(f, 38);
  p.offset = 4000;
  p.timestamps = {1600000000, 1600000100, 1600000200};
  p.tclScnBase = p.tclScnWrap = p.tclUbaBlock = p.tclUbaSequence = p.tclUbaRecord = 0;
  p.slots.clear();
  mkdb::addUndoHeader(f, kBlock, p);
}

// Where SET TRANS_OFFSET 600 and SET TRANS_COUNT 3 put the table.
void undoHeaderMoved(FileImage& f, uint8_t type) {
  mkdb::UndoHeaderPlan p = undoHeaderPlan(f, type);
  p.offset = 300;
  p.timestamps = {1600000000, 1600000100, 1600000200};  // shown for type 38 only
  p.tableBase = 600;
  mkdb::addUndoHeader(f, kBlock, p);
}

void unknownBlock(FileImage& f) {
  Block& b = mkdb::addBlock(f, kBlock, 0x99);
  mkdb::putUB4(b, 24, 0xdeadbeef, f.byteOrder);
}

struct GoldenCase {
  const char* name;
  uint32_t blockSize;
  std::function<void(FileImage&)> build;
  uint32_t block = kBlock;
  const char* settings = "";
};

const std::vector<GoldenCase>& cases() {
  static const std::vector<GoldenCase> all = {
      {"heap", 2048, heapBlock},
      {"cluster", 2048, clusterBlock},
      {"compressed", 2048, compressedBlock},
      {"index_leaf", 2048, indexLeafBlock},
      {"index_branch", 2048, indexBranchBlock},
      {"segment_header_16", 2048, [](FileImage& f) { segmentPlan(f, 16); }},
      {"segment_header_17", 2048, [](FileImage& f) { segmentPlan(f, 17); }},
      {"extent_map_18", 2048, [](FileImage& f) { segmentPlan(f, 16); }, 21},
      {"segment_header_35", 2048, [](FileImage& f) { segmentPlan(f, 35); }},
      {"extent_map_36", 2048, [](FileImage& f) { segmentPlan(f, 35); }, 21},
      {"file_header", 2048, [](FileImage&) {}, 1},
      {"undo_block", 2048, undoBlock},
      {"undo_block_empty", 2048, emptyUndoBlock},
      {"undo_header_14", 8192, undoHeader14},
      {"undo_header_38", 8192, undoHeader38},
      {"undo_header_14_moved", 2048, [](FileImage& f) { undoHeaderMoved(f, 14); }, kBlock,
       "SET TRANS_OFFSET 600\nSET TRANS_COUNT 3\n"},
      {"undo_header_38_moved", 2048, [](FileImage& f) { undoHeaderMoved(f, 38); }, kBlock,
       "SET TRANS_OFFSET 600\nSET TRANS_COUNT 3\n"},
      {"undo_header_38_16k", 16384, undoHeader38Large},
      {"unknown_type", 2048, unknownBlock},
  };
  return all;
}

TEST(OradumpGolden, BuilderBlocksInBothByteOrders) {
  for (const GoldenCase& c : cases()) {
    const std::string expected = readFixture(std::string("oradump/") + c.name + ".out");
    for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
      TempDir dir;
      FileImage f = dumpFileImage(dir, c.blockSize, order);
      c.build(f);
      EXPECT_EQ(expected, oradumpBlock(dir, f, c.block, c.settings))
          << c.name << (order == mkdb::kLittle ? " little-endian" : " big-endian");
    }
  }
}

// The real blocks sit at block 20 of a little-endian 8 KiB file; the dump
// shows their own addresses.
TEST(OradumpGolden, RealOracleBlocks) {
  for (const char* name : {"emp-11203-deleted-rows", "char-19c-scn-flag"}) {
    const std::string bytes = readFixture(std::string("real-blocks/") + name + ".bin");
    ASSERT_EQ(8192u, bytes.size()) << name;
    TempDir dir;
    FileImage f = dumpFileImage(dir, 8192, mkdb::kLittle);
    f.images[kBlock] = Block(bytes.begin(), bytes.end());
    EXPECT_EQ(readFixture(std::string("oradump/") + name + ".out"), oradumpBlock(dir, f, kBlock)) << name;
  }
}

}  // namespace
