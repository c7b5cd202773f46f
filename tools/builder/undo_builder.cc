#include "tools/builder/undo_builder.h"

namespace mkdb {

namespace {

namespace undo {
// undo block
constexpr size_t kXidUsn = 20;
constexpr size_t kXidSlot = 22;
constexpr size_t kXidWrap = 24;
constexpr size_t kSequence = 28;
constexpr size_t kCount = 30;
constexpr size_t kIrb = 31;
constexpr size_t kIcl = 32;
constexpr size_t kFlag = 33;
constexpr size_t kRecordEnd = 34;
constexpr size_t kRecordStart = 36;
// undo segment header
constexpr size_t kSpare = 20;
constexpr size_t kExtents = 36;
constexpr size_t kBlocks = 40;
constexpr size_t kOffset = 44;
constexpr size_t kHwmExtent = 48;
constexpr size_t kHwmBlock = 52;
constexpr size_t kHwmExtentSize = 56;
constexpr size_t kHwmAddress = 60;
constexpr size_t kMapCount = 92;
constexpr size_t kMapNext = 96;
constexpr size_t kObject = 100;
constexpr size_t kMapFlag = 104;
constexpr size_t kMapFirst = 108;
constexpr size_t kTimestampFromOffset = 20;
// transaction table, from its base
constexpr size_t kTclScnBase = 0;
constexpr size_t kTclScnWrap = 4;
constexpr size_t kTclUbaBlock = 8;
constexpr size_t kTclUbaSequence = 12;
constexpr size_t kTclUbaRecord = 14;
constexpr size_t kSlots = 104;
constexpr size_t kSlotSize = 40;
// slot fields
constexpr size_t kSlotWrap = 0;
constexpr size_t kSlotLastBlock = 4;
constexpr size_t kSlotScnBase = 8;
constexpr size_t kSlotScnWrap = 12;
constexpr size_t kSlotState = 16;
constexpr size_t kSlotCflags = 17;
constexpr size_t kSlotNext = 18;
constexpr size_t kSlotBlocks = 32;
constexpr size_t kSlotCommit = 36;
}  // namespace undo

constexpr uint8_t kTypeUndoBlock = 2;

}  // namespace

Block& addUndoBlock(FileImage& f, uint32_t block, const UndoBlockPlan& plan) {
  Block& b = addBlock(f, block, kTypeUndoBlock);
  const uint8_t o = f.byteOrder;
  putUB2(b, undo::kXidUsn, plan.xidUsn, o);
  putUB2(b, undo::kXidSlot, plan.xidSlotWord, o);
  putUB4(b, undo::kXidWrap, plan.xidWrap, o);
  putUB2(b, undo::kSequence, plan.sequence, o);
  const size_t count = plan.recordLengths.size();
  putUB1(b, undo::kCount, plan.countOverride >= 0 ? static_cast<uint32_t>(plan.countOverride)
                                                  : static_cast<uint32_t>(count));
  putUB1(b, undo::kIrb, plan.irb);
  putUB1(b, undo::kIcl, plan.icl);
  putUB1(b, undo::kFlag, plan.flag);
  // Record 1 ends before the block tail; each record lies below the one
  // before it, its bytes the record number.
  uint32_t end = static_cast<uint32_t>(b.size() - kBlockTailSize);
  putUB2(b, undo::kRecordEnd, end, o);
  for (size_t i = 0; i < count; i++) {
    const uint32_t start = end - plan.recordLengths[i];
    putUB2(b, undo::kRecordStart + 2 * i, start, o);
    for (uint32_t at = start; at < end; at++) putUB1(b, at, static_cast<uint32_t>(i + 1));
    end = start;
  }
  return b;
}

uint32_t undoTableBase(const FileImage& f, const UndoHeaderPlan& plan) {
  if (plan.tableBase != 0) return plan.tableBase;
  if (plan.type == 14) return plan.offset + 20u;
  return f.blockSize == 8192 ? 6096u : 20u;
}

Block& addUndoHeader(FileImage& f, uint32_t block, const UndoHeaderPlan& plan) {
  Block& b = addBlock(f, block, plan.type);
  const uint8_t o = f.byteOrder;
  for (size_t i = 0; i < 4; i++) putUB4(b, undo::kSpare + 4 * i, plan.spare[i], o);
  putUB4(b, undo::kExtents, plan.extentsTotal, o);
  putUB4(b, undo::kBlocks, plan.blocks, o);
  putUB2(b, undo::kOffset, plan.offset, o);
  putUB4(b, undo::kHwmExtent, plan.hwmExtent, o);
  putUB4(b, undo::kHwmBlock, plan.hwmBlock, o);
  putUB4(b, undo::kHwmExtentSize, plan.hwmExtentSize, o);
  putUB4(b, undo::kHwmAddress, plan.hwmAddress, o);
  putUB4(b, undo::kMapCount,
         plan.mapCountOverride >= 0 ? static_cast<uint32_t>(plan.mapCountOverride)
                                    : static_cast<uint32_t>(plan.extents.size()),
         o);
  putUB4(b, undo::kMapNext, plan.mapNext, o);
  putUB4(b, undo::kObject, plan.object, o);
  putUB4(b, undo::kMapFlag, plan.mapFlag, o);
  for (size_t i = 0; i < plan.extents.size(); i++) {
    putUB4(b, undo::kMapFirst + 8 * i, plan.extents[i].rdba, o);
    putUB4(b, undo::kMapFirst + 8 * i + 4, plan.extents[i].blocks, o);
  }
  for (size_t i = 0; i < plan.timestamps.size(); i++)
    putUB4(b, plan.offset + undo::kTimestampFromOffset + 4 * i, plan.timestamps[i], o);
  const size_t t = undoTableBase(f, plan);
  putUB4(b, t + undo::kTclScnBase, plan.tclScnBase, o);
  putUB2(b, t + undo::kTclScnWrap, plan.tclScnWrap, o);
  putUB4(b, t + undo::kTclUbaBlock, plan.tclUbaBlock, o);
  putUB2(b, t + undo::kTclUbaSequence, plan.tclUbaSequence, o);
  putUB1(b, t + undo::kTclUbaRecord, plan.tclUbaRecord);
  for (size_t k = 0; k < plan.slots.size(); k++) {
    const UndoSlot& s = plan.slots[k];
    const size_t e = t + undo::kSlots + undo::kSlotSize * k;
    putUB2(b, e + undo::kSlotWrap, s.wrap, o);
    putUB4(b, e + undo::kSlotLastBlock, s.lastBlock, o);
    putUB4(b, e + undo::kSlotScnBase, s.scnBase, o);
    putUB2(b, e + undo::kSlotScnWrap, s.scnWrap, o);
    putUB1(b, e + undo::kSlotState, s.state);
    putUB1(b, e + undo::kSlotCflags, s.cflags);
    putUB2(b, e + undo::kSlotNext, s.next, o);
    putUB4(b, e + undo::kSlotBlocks, s.blocks, o);
    putUB4(b, e + undo::kSlotCommit, s.commitTime, o);
  }
  return b;
}

}  // namespace mkdb
