// Undo layouts: the undo block (type 2) with its record directory, and the
// undo segment header (types 14 and 38) with its extent map and transaction
// table. Constants and accessors only, over the block in the session block
// buffer through the bounds-checked readers: a field outside the block reads
// as 0, and every accessor answers 0 for a block of another type.
//
// Undo block:
//   20 XID usn (2)   22 XID slot, low 12 bits (2)   24 XID wrap (4)
//   28 sequence (2)  30 record count (1)  31 irb (1)  32 icl (1)  33 flag (1)
//   34 end of record 1 (2), then 36 + 2·i the start of record i + 1 (2);
//   records grow from the end of the block downwards.
//
// Undo segment header (all 32-bit unless noted):
//   20..32 spare 1-4   36 extents   40 blocks   44 offset (16-bit)
//   48 HWM extent   52 HWM block   56 HWM extent size   60 HWM address
//   92 map entries   96 next map   100 object   104 map flag
//   108 + 8·i {first block address, blocks} per extent
//   type 38: a timestamp per extent at offset + 20 + 4·i
//   transaction table at T: control (SCN, UBA), then 40-byte slots from T + 104
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/session_context.h"
#include "format/block_layout.h"

constexpr uint8_t kBlockTypeUndo = 2;            // undo block
constexpr uint8_t kBlockTypeUndoHeader = 14;     // undo segment header
constexpr uint8_t kBlockTypeUndoSMUHeader = 38;  // automatic undo segment header

// ---- undo block ----

constexpr size_t kUndoXIDUsnOffset = 20;
constexpr size_t kUndoXIDSlotOffset = 22;
constexpr uint16_t kUndoXIDSlotMask = 0x0FFF;
constexpr size_t kUndoXIDWrapOffset = 24;
constexpr size_t kUndoSequenceOffset = 28;
constexpr size_t kUndoRecordCountOffset = 30;
constexpr size_t kUndoIRBOffset = 31;
constexpr size_t kUndoICLOffset = 32;
constexpr size_t kUndoFlagOffset = 33;
constexpr size_t kUndoRecordEndOffset = 34;     // where record 1 ends
constexpr size_t kUndoRecordDirectory = 36;     // start of record i + 1 at 36 + 2·i
constexpr size_t kUndoRecordEntrySize = 2;

inline bool isUndoBlock(const SessionContext& c) { return getBlockType(c) == kBlockTypeUndo; }
inline uint16_t undoBlockUB2(const SessionContext& c, size_t off) {
  return isUndoBlock(c) ? sessionUB2(c, off) : 0;
}

inline uint16_t getUndoBlockXIDUSN(const SessionContext& c) { return undoBlockUB2(c, kUndoXIDUsnOffset); }
inline uint16_t getUndoBlockXIDSLOT(const SessionContext& c) {
  return undoBlockUB2(c, kUndoXIDSlotOffset) & kUndoXIDSlotMask;
}
inline uint32_t getUndoBlockXIDWRAP(const SessionContext& c) {
  return isUndoBlock(c) ? sessionUB4(c, kUndoXIDWrapOffset) : 0;
}
inline uint16_t getUndoBlockUBAWRAP(const SessionContext& c) { return undoBlockUB2(c, kUndoSequenceOffset); }
inline uint8_t getUndoBlockCount(const SessionContext& c) {
  return isUndoBlock(c) ? sessionUB1(c, kUndoRecordCountOffset) : 0;
}
inline uint8_t getUndoBlockIRB(const SessionContext& c) {
  return isUndoBlock(c) ? sessionUB1(c, kUndoIRBOffset) : 0;
}
inline uint8_t getUndoBlockICL(const SessionContext& c) {
  return isUndoBlock(c) ? sessionUB1(c, kUndoICLOffset) : 0;
}
inline uint8_t getUndoBlockFlag(const SessionContext& c) {
  return isUndoBlock(c) ? sessionUB1(c, kUndoFlagOffset) : 0;
}
// Start of record i + 1 (i modulo 256).
inline uint16_t getUndoBlockRecordOffset(const SessionContext& c, uint32_t i) {
  return undoBlockUB2(c, kUndoRecordDirectory + kUndoRecordEntrySize * (i & 0xFF));
}
// Length of record i + 1: where the record before it starts (for record 1,
// the end at 34) minus where it starts; 16-bit arithmetic.
inline uint16_t getUndoBlockRecordLength(const SessionContext& c, uint32_t i) {
  const size_t at = kUndoRecordEndOffset + kUndoRecordEntrySize * (i & 0xFF);
  return static_cast<uint16_t>(undoBlockUB2(c, at) - undoBlockUB2(c, at + kUndoRecordEntrySize));
}
// How many record directory entries lie inside the block.
inline uint32_t undoRecordsInBlock(const SessionContext& c) {
  return c.blockSize > kUndoRecordDirectory
             ? static_cast<uint32_t>((c.blockSize - kUndoRecordDirectory) / kUndoRecordEntrySize)
             : 0;
}

// ---- undo segment header ----

constexpr size_t kUndoSpare1Offset = 20;
constexpr size_t kUndoSpare2Offset = 24;
constexpr size_t kUndoSpare3Offset = 28;
constexpr size_t kUndoSpare4Offset = 32;
constexpr size_t kUndoExtentsOffset = 36;
constexpr size_t kUndoBlocksOffset = 40;
constexpr size_t kUndoOffsetOffset = 44;        // 16-bit
constexpr size_t kUndoHWMExtentOffset = 48;
constexpr size_t kUndoHWMBlockOffset = 52;
constexpr size_t kUndoHWMExtentSizeOffset = 56;
constexpr size_t kUndoHWMBlockRDBAOffset = 60;
constexpr size_t kUndoMapExtentsOffset = 92;
constexpr size_t kUndoMapNextOffset = 96;
constexpr size_t kUndoMapObjectOffset = 100;
constexpr size_t kUndoMapFlagOffset = 104;
constexpr size_t kUndoFirstExtentOffset = 108;  // {RDBA, blocks} per extent
constexpr size_t kUndoExtentEntrySize = 8;
constexpr size_t kUndoExtentSCNBase = 20;       // type 38: offset + 20 + 4·i
constexpr size_t kUndoExtentSCNSize = 4;

// Default place and size of the transaction table.
constexpr size_t kUndoTransBaseFromOffset = 20;  // type 14: offset field + 20
constexpr uint32_t kUndoSMUTransBase8K = 6096;   // type 38 with 8192-byte blocks
constexpr uint32_t kUndoSMUTransBaseOther = 20;
constexpr uint32_t kUndoTransBlockSize = 8192;   // the block size the default counts are for
constexpr uint32_t kUndoTransSlots14 = 98;
constexpr uint32_t kUndoTransSlots38 = 34;

// Transaction control, offsets from T.
constexpr size_t kUndoTCLSCNBaseOffset = 0;
constexpr size_t kUndoTCLSCNWrapOffset = 4;
constexpr size_t kUndoTCLUBABlockOffset = 8;
constexpr size_t kUndoTCLUBAWrapOffset = 12;
constexpr size_t kUndoTCLUBARecordOffset = 14;  // one byte

// Transaction slot k at E = T + 104 + 40·k, offsets from E.
constexpr size_t kUndoTransSlotsOffset = 104;
constexpr size_t kUndoTransSlotSize = 40;
constexpr size_t kUndoSlotWrapOffset = 0;
constexpr size_t kUndoSlotLastBlockOffset = 4;
constexpr size_t kUndoSlotSCNBaseOffset = 8;
constexpr size_t kUndoSlotSCNWrapOffset = 12;
constexpr size_t kUndoSlotStateOffset = 16;     // one byte
constexpr uint8_t kUndoSlotCommitted = 9;       // state of a committed transaction
constexpr uint8_t kUndoSlotActive = 10;         // state of a transaction still open
constexpr size_t kUndoSlotFlagOffset = 17;      // one byte: 0x80 active, 0x10 dead
constexpr size_t kUndoSlotNextOffset = 18;      // 16-bit, low byte used
constexpr size_t kUndoSlotBlockCountOffset = 32;
constexpr size_t kUndoSlotCommitOffset = 36;

inline bool isUndoHeaderType(uint8_t type) {
  return type == kBlockTypeUndoHeader || type == kBlockTypeUndoSMUHeader;
}
inline bool isUndoHeader(const SessionContext& c) { return isUndoHeaderType(getBlockType(c)); }
inline uint32_t undoHeaderUB4(const SessionContext& c, size_t off) {
  return isUndoHeader(c) ? sessionUB4(c, off) : 0;
}
inline uint16_t undoHeaderUB2(const SessionContext& c, size_t off) {
  return isUndoHeader(c) ? sessionUB2(c, off) : 0;
}
inline uint8_t undoHeaderUB1(const SessionContext& c, size_t off) {
  return isUndoHeader(c) ? sessionUB1(c, off) : 0;
}
// The low byte of a 16-bit field: the byte at off little-endian, the next
// one big-endian.
inline uint8_t undoHeaderLowByte(const SessionContext& c, size_t off) {
  if (c.byteOrder == kLittleEndian) return undoHeaderUB1(c, off);
  if (c.byteOrder == kBigEndian) return undoHeaderUB1(c, off + 1);
  return 0;
}

inline uint32_t getUndoHeaderSpare1(const SessionContext& c) { return undoHeaderUB4(c, kUndoSpare1Offset); }
inline uint32_t getUndoHeaderSpare2(const SessionContext& c) { return undoHeaderUB4(c, kUndoSpare2Offset); }
inline uint32_t getUndoHeaderSpare3(const SessionContext& c) { return undoHeaderUB4(c, kUndoSpare3Offset); }
inline uint32_t getUndoHeaderSpare4(const SessionContext& c) { return undoHeaderUB4(c, kUndoSpare4Offset); }
inline uint32_t getUndoHeaderExtents(const SessionContext& c) { return undoHeaderUB4(c, kUndoExtentsOffset); }
inline uint32_t getUndoHeaderBlocks(const SessionContext& c) { return undoHeaderUB4(c, kUndoBlocksOffset); }
inline uint16_t getUndoHeaderOffset(const SessionContext& c) { return undoHeaderUB2(c, kUndoOffsetOffset); }
inline uint32_t getUndoHeaderHWMExtent(const SessionContext& c) { return undoHeaderUB4(c, kUndoHWMExtentOffset); }
inline uint32_t getUndoHeaderHWMBlock(const SessionContext& c) { return undoHeaderUB4(c, kUndoHWMBlockOffset); }
inline uint32_t getUndoHeaderHWMExtentSize(const SessionContext& c) {
  return undoHeaderUB4(c, kUndoHWMExtentSizeOffset);
}
inline uint32_t getUndoHeaderHWMBlockRDBA(const SessionContext& c) {
  return undoHeaderUB4(c, kUndoHWMBlockRDBAOffset);
}
inline uint32_t getUndoHeaderMapExtents(const SessionContext& c) { return undoHeaderUB4(c, kUndoMapExtentsOffset); }
inline uint32_t getUndoHeaderMapNext(const SessionContext& c) { return undoHeaderUB4(c, kUndoMapNextOffset); }
inline uint32_t getUndoHeaderMapObject(const SessionContext& c) { return undoHeaderUB4(c, kUndoMapObjectOffset); }
inline uint32_t getUndoHeaderMapFlag(const SessionContext& c) { return undoHeaderUB4(c, kUndoMapFlagOffset); }
inline size_t undoExtentOffset(uint32_t i) {
  return kUndoFirstExtentOffset + kUndoExtentEntrySize * static_cast<size_t>(i);
}
inline uint32_t getUndoHeaderExtentRDBA(const SessionContext& c, uint32_t i) {
  return undoHeaderUB4(c, undoExtentOffset(i));
}
inline uint32_t getUndoHeaderExtentSize(const SessionContext& c, uint32_t i) {
  return undoHeaderUB4(c, undoExtentOffset(i) + 4);
}
// Type 38 only: the timestamp of extent i.
inline uint32_t getUndoHeaderExtentSCN(const SessionContext& c, uint32_t i) {
  if (getBlockType(c) != kBlockTypeUndoSMUHeader) return 0;
  return sessionUB4(c, getUndoHeaderOffset(c) + kUndoExtentSCNBase + kUndoExtentSCNSize * static_cast<size_t>(i));
}
// How many extent entries lie inside the block.
inline uint32_t undoExtentsInBlock(const SessionContext& c) {
  return c.blockSize > kUndoFirstExtentOffset
             ? static_cast<uint32_t>((c.blockSize - kUndoFirstExtentOffset) / kUndoExtentEntrySize)
             : 0;
}

// The default base of the transaction table, TRANS_OFFSET aside: for type 14
// the offset field + 20; for type 38, 6096 in 8192-byte blocks, else 20.
inline uint32_t undoDefaultTransOffset(const SessionContext& c) {
  switch (getBlockType(c)) {
    case kBlockTypeUndoHeader: return getUndoHeaderOffset(c) + static_cast<uint32_t>(kUndoTransBaseFromOffset);
    case kBlockTypeUndoSMUHeader:
      return c.blockSize == kUndoTransBlockSize ? kUndoSMUTransBase8K : kUndoSMUTransBaseOther;
    default: return 0;
  }
}
// T: TRANS_OFFSET when set, else the default base; 0 for other block types.
inline uint32_t getUndoHeaderTransOffset(const SessionContext& c) {
  if (!isUndoHeader(c)) return 0;
  return c.transOffset != 0 ? c.transOffset : undoDefaultTransOffset(c);
}
// The number of slots: TRANS_COUNT when set, else 98 (type 14) or 34
// (type 38) in 8192-byte blocks and 0 in others.
inline uint32_t getUndoHeaderTransCount(const SessionContext& c) {
  const uint8_t type = getBlockType(c);
  if (!isUndoHeaderType(type)) return 0;
  if (c.transCount != 0) return c.transCount;
  if (c.blockSize != kUndoTransBlockSize) return 0;
  return type == kBlockTypeUndoHeader ? kUndoTransSlots14 : kUndoTransSlots38;
}
// How many slots from T on lie inside the block.
inline uint32_t undoTransSlotsInBlock(const SessionContext& c) {
  const size_t first = static_cast<size_t>(getUndoHeaderTransOffset(c)) + kUndoTransSlotsOffset;
  return c.blockSize > first ? static_cast<uint32_t>((c.blockSize - first) / kUndoTransSlotSize) : 0;
}

// Transaction control; 0 when T is 0.
inline size_t undoTCLField(const SessionContext& c, size_t field) {
  const uint32_t t = getUndoHeaderTransOffset(c);
  return t == 0 ? SIZE_MAX : t + field;
}
inline uint32_t getUndoHeaderTCLSCNBase(const SessionContext& c) {
  return undoHeaderUB4(c, undoTCLField(c, kUndoTCLSCNBaseOffset));
}
inline uint16_t getUndoHeaderTCLSCNWrap(const SessionContext& c) {
  return undoHeaderUB2(c, undoTCLField(c, kUndoTCLSCNWrapOffset));
}
inline uint32_t getUndoHeaderTCLUBABlock(const SessionContext& c) {
  return undoHeaderUB4(c, undoTCLField(c, kUndoTCLUBABlockOffset));
}
inline uint16_t getUndoHeaderTCLUBAWrap(const SessionContext& c) {
  return undoHeaderUB2(c, undoTCLField(c, kUndoTCLUBAWrapOffset));
}
inline uint8_t getUndoHeaderTCLUBARecord(const SessionContext& c) {
  return undoHeaderUB1(c, undoTCLField(c, kUndoTCLUBARecordOffset));
}

// Transaction slot k; 0 when T is 0.
inline size_t undoSlotField(const SessionContext& c, uint32_t k, size_t field) {
  const uint32_t t = getUndoHeaderTransOffset(c);
  return t == 0 ? SIZE_MAX : t + kUndoTransSlotsOffset + kUndoTransSlotSize * static_cast<size_t>(k) + field;
}
inline uint16_t getUndoHeaderTranSlotWrap(const SessionContext& c, uint32_t k) {
  return undoHeaderUB2(c, undoSlotField(c, k, kUndoSlotWrapOffset));
}
inline uint8_t getUndoHeaderTranSlotFlag(const SessionContext& c, uint32_t k) {
  return undoHeaderUB1(c, undoSlotField(c, k, kUndoSlotFlagOffset));
}
inline uint32_t getUndoHeaderTranSlotLastBlock(const SessionContext& c, uint32_t k) {
  return undoHeaderUB4(c, undoSlotField(c, k, kUndoSlotLastBlockOffset));
}
inline uint32_t getUndoHeaderTranSlotSCNBase(const SessionContext& c, uint32_t k) {
  return undoHeaderUB4(c, undoSlotField(c, k, kUndoSlotSCNBaseOffset));
}
inline uint16_t getUndoHeaderTranSlotSCNWrap(const SessionContext& c, uint32_t k) {
  return undoHeaderUB2(c, undoSlotField(c, k, kUndoSlotSCNWrapOffset));
}
inline uint8_t getUndoHeaderTranSlotState(const SessionContext& c, uint32_t k) {
  return undoHeaderUB1(c, undoSlotField(c, k, kUndoSlotStateOffset));
}
inline uint8_t getUndoHeaderTranSlotNext(const SessionContext& c, uint32_t k) {
  const size_t at = undoSlotField(c, k, kUndoSlotNextOffset);
  return at == SIZE_MAX ? 0 : undoHeaderLowByte(c, at);
}
inline uint32_t getUndoHeaderTranSlotBlockCount(const SessionContext& c, uint32_t k) {
  return undoHeaderUB4(c, undoSlotField(c, k, kUndoSlotBlockCountOffset));
}
inline uint32_t getUndoHeaderTranSlotCommit(const SessionContext& c, uint32_t k) {
  return undoHeaderUB4(c, undoSlotField(c, k, kUndoSlotCommitOffset));
}
