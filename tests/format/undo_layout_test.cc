// Undo layout accessors on builder undo blocks and headers: the place and
// size of the transaction table by type, block size, TRANS_OFFSET and
// TRANS_COUNT, and 0 from every accessor on a block of another type.
#include <gtest/gtest.h>

#include <vector>

#include "format/undo_layout.h"
#include "tools/builder/undo_builder.h"

namespace {

struct UndoSession {
  std::vector<unsigned char> bytes;
  SessionContext ctx;
  UndoSession(const mkdb::Block& b, uint8_t order) : bytes(b.begin(), b.end()) {
    ctx.blockBuffer = bytes.data();
    ctx.blockSize = static_cast<uint16_t>(bytes.size());
    ctx.byteOrder = order;
  }
};

mkdb::FileImage image(uint32_t blockSize, uint8_t order) {
  mkdb::FileImage f;
  f.blockSize = blockSize;
  f.byteOrder = order;
  return f;
}

TEST(UndoLayout, TransactionTableByTypeBlockSizeAndSettings) {
  struct Case {
    uint8_t type;
    uint32_t blockSize;
    uint16_t transOffset, transCount;
    uint32_t base, slots;
  };
  const Case cases[] = {
      {14, 8192, 0, 0, 1000 + 20, 98},  {38, 8192, 0, 0, 6096, 34},
      {14, 16384, 0, 0, 1000 + 20, 0},  {38, 4096, 0, 0, 20, 0},
      {14, 8192, 700, 5, 700, 5},       {38, 16384, 900, 7, 900, 7},
  };
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << int(c.type) << " " << c.blockSize << " order " << int(order));
      mkdb::FileImage f = image(c.blockSize, order);
      mkdb::UndoHeaderPlan p;
      p.type = c.type;
      p.offset = 1000;
      p.tableBase = c.transOffset;
      p.tclScnBase = 0x1cc0f2;
      p.tclUbaRecord = 0x27;
      mkdb::UndoSlot s;
      s.wrap = 0x3e9;
      s.state = 9;
      s.cflags = 0x80;
      s.next = 0x1ff;
      p.slots = {mkdb::UndoSlot(), s};
      UndoSession u(mkdb::addUndoHeader(f, 5, p), order);
      u.ctx.transOffset = c.transOffset;
      u.ctx.transCount = c.transCount;
      EXPECT_EQ(1000u, getUndoHeaderOffset(u.ctx));
      EXPECT_EQ(c.base, getUndoHeaderTransOffset(u.ctx));
      EXPECT_EQ(c.slots, getUndoHeaderTransCount(u.ctx));
      EXPECT_EQ(0x1cc0f2u, getUndoHeaderTCLSCNBase(u.ctx));
      EXPECT_EQ(0x27, getUndoHeaderTCLUBARecord(u.ctx));
      EXPECT_EQ(0x3e9, getUndoHeaderTranSlotWrap(u.ctx, 1));
      EXPECT_EQ(9, getUndoHeaderTranSlotState(u.ctx, 1));
      EXPECT_EQ(0x80, getUndoHeaderTranSlotFlag(u.ctx, 1));
      EXPECT_EQ(0xff, getUndoHeaderTranSlotNext(u.ctx, 1));
      // An undo block answers none of the header accessors, and the other
      // way round.
      EXPECT_EQ(0, getUndoBlockCount(u.ctx));
      UndoSession b(mkdb::addUndoBlock(f, 6, mkdb::UndoBlockPlan{1, 0x5003, 2, 3, 4, 5, 6, {10, 20}}), order);
      b.ctx.transOffset = c.transOffset;
      b.ctx.transCount = c.transCount;
      EXPECT_EQ(0u, getUndoHeaderTransOffset(b.ctx));
      EXPECT_EQ(0u, getUndoHeaderTransCount(b.ctx));
      EXPECT_EQ(0u, getUndoHeaderTCLSCNBase(b.ctx));
      EXPECT_EQ(3, getUndoBlockXIDSLOT(b.ctx));
      EXPECT_EQ(2, getUndoBlockCount(b.ctx));
      EXPECT_EQ(5, getUndoBlockICL(b.ctx));
      EXPECT_EQ(6, getUndoBlockFlag(b.ctx));
      EXPECT_EQ(20, getUndoBlockRecordLength(b.ctx, 1));
      EXPECT_EQ(c.blockSize - 4 - 30, getUndoBlockRecordOffset(b.ctx, 1));
    }
  }
}

// A type-38 header keeps a timestamp per extent at offset + 20; type 14
// answers 0 there.
TEST(UndoLayout, ExtentTimestampsOnlyForType38) {
  for (uint8_t type : {14, 38}) {
    mkdb::FileImage f = image(8192, mkdb::kBig);
    mkdb::UndoHeaderPlan p;
    p.type = type;
    p.offset = 3000;
    p.extents = {{0x01000010, 8}, {0x01000020, 16}};
    p.timestamps = {111, 222};
    UndoSession u(mkdb::addUndoHeader(f, 5, p), mkdb::kBig);
    EXPECT_EQ(2u, getUndoHeaderMapExtents(u.ctx));
    EXPECT_EQ(0x01000020u, getUndoHeaderExtentRDBA(u.ctx, 1));
    EXPECT_EQ(16u, getUndoHeaderExtentSize(u.ctx, 1));
    EXPECT_EQ(type == 38 ? 222u : 0u, getUndoHeaderExtentSCN(u.ctx, 1));
  }
}

}  // namespace
