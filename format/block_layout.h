// Oracle block layouts: every byte offset of the cache header, transaction
// header, ITL entries, segment headers, extent maps and the data file header,
// each with one accessor over the block in the session block buffer.
//
// Every read goes through the primitive readers of core/bytes.h, so a block
// whose fields point anywhere is never read past its end. Multi-byte fields
// are read in the session byte order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "core/session_context.h"

// ---- block types the tool acts on ----

constexpr uint8_t kBlockTypeData = 6;            // table, cluster and index data
constexpr uint8_t kBlockTypeFileHeader = 11;     // data file header
constexpr uint8_t kBlockTypeSegHeader = 16;      // segment header
constexpr uint8_t kBlockTypeSegHeader17 = 17;    // segment header (other form)
constexpr uint8_t kBlockTypeExtentMap = 18;      // extent map block
constexpr uint8_t kBlockTypePageTableSeg = 35;   // pagetable segment header
constexpr uint8_t kBlockTypeExtentMap36 = 36;    // extent map block (other form)
constexpr uint8_t kBlockTypeLobBlob = 27;
constexpr uint8_t kBlockTypeLobClob = 40;

// ---- cache header (every block) ----

constexpr size_t kBlockTypeOffset = 0;
constexpr size_t kBlockFormatOffset = 1;
constexpr size_t kBlockRDBAOffset = 4;
constexpr size_t kSCNBaseOffset = 8;
constexpr size_t kSCNWrapOffset = 12;
constexpr size_t kBlockSequenceOffset = 14;
constexpr size_t kBlockFlagOffset = 15;
constexpr size_t kBlockChecksumOffset = 16;
constexpr size_t kCacheHeaderSize = 20;

// ---- transaction header (data, index and LOB blocks) ----

constexpr size_t kDataTypeOffset = 20;
constexpr size_t kDataObjectIdOffset = 24;
constexpr size_t kCleanSCNBaseOffset = 28;
constexpr size_t kCleanSCNWrapOffset = 32;
// From 12.2 on the top bit of the clean SCN wrap word is a format flag, not
// part of the SCN.
constexpr uint16_t kCleanSCNWrapMask = 0x7FFF;
constexpr size_t kMagicNumberOffset = 34;
constexpr size_t kITLCountOffset = 36;
constexpr size_t kFreeListGroupOffset = 38;
constexpr size_t kFreeListsOffset = 39;
constexpr size_t kFreeListNextOffset = 40;
constexpr size_t kFirstITLOffset = 44;

// ---- ITL entry, offsets within one entry ----

constexpr size_t kITLSize = 24;
constexpr size_t kITLXIDUsnOffset = 0;
constexpr size_t kITLXIDSlotOffset = 2;
constexpr size_t kITLXIDWrapOffset = 4;
constexpr size_t kITLUndoRDBAOffset = 8;
constexpr size_t kITLUndoSeqOffset = 12;     // undo block sequence, all 16 bits
constexpr size_t kITLUndoRecordOffset = 14;  // record in that undo block, one byte
constexpr size_t kITLFlagLockOffset = 16;
constexpr size_t kITLFSCOffset = 18;
constexpr size_t kITLSCNOffset = 20;

// ---- data object id, by block type ----

constexpr size_t kDataObjectIdOffsetData = 24;      // type 6
constexpr size_t kDataObjectIdOffsetSegHeader = 100;  // types 16, 17
constexpr size_t kDataObjectIdOffsetExtentMap = 28;  // type 18
constexpr size_t kDataObjectIdOffsetLob = 20;       // types 27, 40
constexpr size_t kDataObjectIdOffsetPageTable = 272;  // type 35

// ---- segment header fields (types 16, 17, 35) ----

constexpr size_t kSegBlockCountOffset = 40;
constexpr size_t kSegHWMExtentOffset = 48;
constexpr size_t kSegHWMBlocksOffset = 52;
constexpr size_t kSegHWMExtSizeOffset = 56;
constexpr size_t kSegHWMAddressOffset = 60;
constexpr size_t kSegNextMAPOffset = 64;
constexpr size_t kSegFLGBlocksOffset = 72;
constexpr size_t kSegFLGBellowOffset = 76;
constexpr size_t kSegMapFlagOffset = 104;

// ---- extent maps: (extent count, next map RDBA, extents in this block, first entry) ----

constexpr size_t kSegExtentCountOffset = 36;        // types 16, 17, 35
constexpr size_t kSegNextMapRDBAOffset = 96;        // types 16, 17
constexpr size_t kSegBlockExtentCountOffset = 92;   // types 16, 17 and any other
constexpr size_t kSegFirstExtentOffset = 108;       // types 16, 17 and any other
constexpr size_t kPageNextMapRDBAOffset = 268;      // type 35
constexpr size_t kPageBlockExtentCountOffset = 264;
constexpr size_t kPageFirstExtentOffset = 280;
constexpr size_t kMapExtentCountOffset = 20;        // types 18, 36
constexpr size_t kMapNextMapRDBAOffset = 24;
constexpr size_t kMapFirstExtentOffset = 36;
constexpr size_t kExtentEntrySize = 8;

// ---- data file header (block 1, type 11) ----

constexpr size_t kSoftwareVersionOffset = 20;
constexpr size_t kCompatibleVersionOffset = 24;
constexpr size_t kDBIDOffset = 28;
constexpr size_t kDatabaseNameOffset = 32;
constexpr size_t kDatabaseNameLength = 8;
constexpr size_t kControlSeqOffset = 40;
constexpr size_t kFileBlockCountOffset = 44;
constexpr size_t kDBBlockSizeOffset = 48;
constexpr size_t kFileNumberOffset = 52;
constexpr size_t kFileTypeOffset = 54;
constexpr size_t kBootstrapRDBAOffset = 96;
constexpr size_t kFuzzyStatusOffset = 138;
constexpr size_t kMaxTablespaceNameLength = 30;

// Tablespace number and name move with the block format byte.
inline size_t tablespaceNumberOffset(uint8_t format) {
  if (format == 0x02) return 244;
  if (format == 0xA2 || format == 0xC2) return 332;
  return 336;
}
inline size_t tablespaceNameLengthOffset(uint8_t format) { return format == 0x02 ? 248 : 336; }
inline size_t tablespaceNameOffset(uint8_t format) { return format == 0x02 ? 250 : 338; }

// ---- accessors over the session block buffer ----

inline uint8_t sessionUB1(const SessionContext& c, size_t off) {
  return readUB1(c.blockBuffer, c.blockSize, off);
}
inline uint16_t sessionUB2(const SessionContext& c, size_t off) {
  return readUB2(c.blockBuffer, c.blockSize, off, c.byteOrder);
}
inline uint32_t sessionUB4(const SessionContext& c, size_t off) {
  return readUB4(c.blockBuffer, c.blockSize, off, c.byteOrder);
}

inline uint8_t getBlockType(const SessionContext& c) { return sessionUB1(c, kBlockTypeOffset); }
inline uint8_t getBlockFormat(const SessionContext& c) { return sessionUB1(c, kBlockFormatOffset); }
inline uint32_t getBlockRDBA(const SessionContext& c) { return sessionUB4(c, kBlockRDBAOffset); }
inline uint32_t getSCNBase(const SessionContext& c) { return sessionUB4(c, kSCNBaseOffset); }
inline uint16_t getSCNWrap(const SessionContext& c) { return sessionUB2(c, kSCNWrapOffset); }
inline uint8_t getBlockSequence(const SessionContext& c) { return sessionUB1(c, kBlockSequenceOffset); }
inline uint8_t getBlockFlag(const SessionContext& c) { return sessionUB1(c, kBlockFlagOffset); }
inline uint16_t getBlockChecksum(const SessionContext& c) { return sessionUB2(c, kBlockChecksumOffset); }

inline uint8_t getDataType(const SessionContext& c) { return sessionUB1(c, kDataTypeOffset); }
inline uint32_t getCleanSCNBase(const SessionContext& c) { return sessionUB4(c, kCleanSCNBaseOffset); }
inline uint16_t getCleanSCNWrap(const SessionContext& c) {
  return sessionUB2(c, kCleanSCNWrapOffset) & kCleanSCNWrapMask;
}
inline uint16_t getMagicNumber(const SessionContext& c) { return sessionUB2(c, kMagicNumberOffset); }
// Only the low byte of the 16-bit field counts: byte 36 little-endian, 37 big.
inline uint8_t getITLCount(const SessionContext& c) {
  if (c.byteOrder == kLittleEndian) return sessionUB1(c, kITLCountOffset);
  if (c.byteOrder == kBigEndian) return sessionUB1(c, kITLCountOffset + 1);
  return 0;
}
inline uint8_t getFreeListGroup(const SessionContext& c) { return sessionUB1(c, kFreeListGroupOffset); }
inline uint8_t getFreeLists(const SessionContext& c) { return sessionUB1(c, kFreeListsOffset); }
inline uint32_t getFreeListNext(const SessionContext& c) { return sessionUB4(c, kFreeListNextOffset); }

// The data object id sits at a place that depends on the block type.
inline uint32_t getDataObjectID(const SessionContext& c) {
  switch (getBlockType(c)) {
    case kBlockTypeData: return sessionUB4(c, kDataObjectIdOffsetData);
    case kBlockTypeSegHeader:
    case kBlockTypeSegHeader17: return sessionUB4(c, kDataObjectIdOffsetSegHeader);
    case kBlockTypeExtentMap: return sessionUB4(c, kDataObjectIdOffsetExtentMap);
    case kBlockTypeLobBlob:
    case kBlockTypeLobClob: return sessionUB4(c, kDataObjectIdOffsetLob);
    case kBlockTypePageTableSeg: return sessionUB4(c, kDataObjectIdOffsetPageTable);
    default: return 0;
  }
}

// ITL entry i starts at 44 + 24 × i. The XID, undo address, FSC and SCN
// accessors take the index modulo 256, the flag and lock accessors modulo
// 65536; the offset is computed wide so it never wraps back into the block.
inline size_t itlOffset(uint32_t i, size_t field) { return kFirstITLOffset + kITLSize * i + field; }
inline uint16_t getITLXIDUsn(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFF, kITLXIDUsnOffset));
}
inline uint16_t getITLXIDSlot(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFF, kITLXIDSlotOffset)) & 0x0FFF;
}
inline uint32_t getITLXIDWrap(const SessionContext& c, uint32_t i) {
  return sessionUB4(c, itlOffset(i & 0xFF, kITLXIDWrapOffset));
}
inline uint32_t getITLUndoRDBA(const SessionContext& c, uint32_t i) {
  return sessionUB4(c, itlOffset(i & 0xFF, kITLUndoRDBAOffset));
}
// The undo address of an entry is block.sequence.record.
inline uint16_t getITLUndoSeq(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFF, kITLUndoSeqOffset));
}
inline uint8_t getITLUndoRecord(const SessionContext& c, uint32_t i) {
  return sessionUB1(c, itlOffset(i & 0xFF, kITLUndoRecordOffset));
}
inline uint16_t getITLFlag(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFFFF, kITLFlagLockOffset)) >> 12;
}
inline uint16_t getITLLock(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFFFF, kITLFlagLockOffset)) & 0x0FFF;
}
inline uint16_t getITLFSC(const SessionContext& c, uint32_t i) {
  return sessionUB2(c, itlOffset(i & 0xFF, kITLFSCOffset));
}
inline uint32_t getITLSCN(const SessionContext& c, uint32_t i) {
  return sessionUB4(c, itlOffset(i & 0xFF, kITLSCNOffset));
}

// Segment header fields answer only for types 16, 17 and 35.
inline bool isSegmentHeaderType(uint8_t type) {
  return type == kBlockTypeSegHeader || type == kBlockTypeSegHeader17 ||
         type == kBlockTypePageTableSeg;
}
inline uint32_t segmentHeaderUB4(const SessionContext& c, size_t off) {
  return isSegmentHeaderType(getBlockType(c)) ? sessionUB4(c, off) : 0;
}
inline uint32_t getSegBlockCount(const SessionContext& c) { return segmentHeaderUB4(c, kSegBlockCountOffset); }
inline uint32_t getSegHWMExtent(const SessionContext& c) { return segmentHeaderUB4(c, kSegHWMExtentOffset); }
inline uint32_t getSegHWMBlocks(const SessionContext& c) { return segmentHeaderUB4(c, kSegHWMBlocksOffset); }
inline uint32_t getSegHWMExtSize(const SessionContext& c) { return segmentHeaderUB4(c, kSegHWMExtSizeOffset); }
inline uint32_t getSegHWMAddress(const SessionContext& c) { return segmentHeaderUB4(c, kSegHWMAddressOffset); }
inline uint32_t getSegNextMAP(const SessionContext& c) { return segmentHeaderUB4(c, kSegNextMAPOffset); }
inline uint32_t getSegFLGBlocks(const SessionContext& c) { return segmentHeaderUB4(c, kSegFLGBlocksOffset); }
inline uint32_t getSegFLGBellow(const SessionContext& c) { return segmentHeaderUB4(c, kSegFLGBellowOffset); }
inline uint32_t getSegMapFlag(const SessionContext& c) { return segmentHeaderUB4(c, kSegMapFlagOffset); }

// Extent maps of segment headers (16, 17, 35) and extent map blocks (18, 36).
inline uint32_t getSegExtentCount(const SessionContext& c) {
  switch (getBlockType(c)) {
    case kBlockTypeSegHeader:
    case kBlockTypeSegHeader17:
    case kBlockTypePageTableSeg: return sessionUB4(c, kSegExtentCountOffset);
    case kBlockTypeExtentMap:
    case kBlockTypeExtentMap36: return sessionUB4(c, kMapExtentCountOffset);
    default: return 0;
  }
}
inline uint32_t getSegNextMapRDBA(const SessionContext& c) {
  switch (getBlockType(c)) {
    case kBlockTypeSegHeader:
    case kBlockTypeSegHeader17: return sessionUB4(c, kSegNextMapRDBAOffset);
    case kBlockTypePageTableSeg: return sessionUB4(c, kPageNextMapRDBAOffset);
    case kBlockTypeExtentMap:
    case kBlockTypeExtentMap36: return sessionUB4(c, kMapNextMapRDBAOffset);
    default: return 0;
  }
}
inline uint32_t getBlockExtentCount(const SessionContext& c) {
  switch (getBlockType(c)) {
    case kBlockTypePageTableSeg: return sessionUB4(c, kPageBlockExtentCountOffset);
    case kBlockTypeExtentMap:
    case kBlockTypeExtentMap36: return sessionUB4(c, kMapExtentCountOffset);
    default: return sessionUB4(c, kSegBlockExtentCountOffset);
  }
}
inline size_t firstExtentOffset(uint8_t type) {
  switch (type) {
    case kBlockTypePageTableSeg: return kPageFirstExtentOffset;
    case kBlockTypeExtentMap:
    case kBlockTypeExtentMap36: return kMapFirstExtentOffset;
    default: return kSegFirstExtentOffset;
  }
}
// Entry i of the extent array: {first block RDBA, number of blocks}. The
// offset is computed wide: an index past the block yields 0 rather than
// wrapping around to an unrelated field.
inline size_t extentEntryOffset(const SessionContext& c, uint32_t i) {
  return firstExtentOffset(getBlockType(c)) + kExtentEntrySize * static_cast<size_t>(i);
}
inline uint32_t getSegExtentRDBA(const SessionContext& c, uint32_t i) {
  return sessionUB4(c, extentEntryOffset(c, i));
}
inline uint32_t getSegExtentBlocks(const SessionContext& c, uint32_t i) {
  return sessionUB4(c, extentEntryOffset(c, i) + 4);
}
// How many extent entries fit in the current block: a bound for any walk
// over a map whose stored count may be damaged.
inline uint32_t extentEntriesInBlock(const SessionContext& c) {
  size_t first = firstExtentOffset(getBlockType(c));
  return c.blockSize > first ? static_cast<uint32_t>((c.blockSize - first) / kExtentEntrySize) : 0;
}

// ---- data file header ----

inline uint32_t getSoftwareVersion(const SessionContext& c) { return sessionUB4(c, kSoftwareVersionOffset); }
inline uint32_t getCompatibleVersion(const SessionContext& c) { return sessionUB4(c, kCompatibleVersionOffset); }
inline uint32_t getDBID(const SessionContext& c) { return sessionUB4(c, kDBIDOffset); }
inline uint32_t getControlSeq(const SessionContext& c) { return sessionUB4(c, kControlSeqOffset); }
inline uint32_t getBlockCount(const SessionContext& c) { return sessionUB4(c, kFileBlockCountOffset); }
inline uint32_t getDBBlockSize(const SessionContext& c) { return sessionUB4(c, kDBBlockSizeOffset); }
inline uint16_t getFileNumber(const SessionContext& c) { return sessionUB2(c, kFileNumberOffset); }
inline uint16_t getFileType(const SessionContext& c) { return sessionUB2(c, kFileTypeOffset); }
inline uint32_t getBootstrapRDBA(const SessionContext& c) { return sessionUB4(c, kBootstrapRDBAOffset); }
inline uint16_t getFuzzyStatus(const SessionContext& c) { return sessionUB2(c, kFuzzyStatusOffset); }
inline uint32_t getTablespaceNumber(const SessionContext& c) {
  return sessionUB4(c, tablespaceNumberOffset(getBlockFormat(c)));
}

// Copies the database name (8 bytes, as stored) into out[9], NUL-terminated.
void getDatabaseName(const SessionContext& c, char* out);
// Copies the tablespace name into out[31], NUL-terminated, and returns its
// length; 0 (and an empty text) when the stored length is 0, above 30, or the
// name would not fit the block.
uint32_t getTablespaceName(const SessionContext& c, char* out);

// Name of a block type; "Unknown Block" for types not in the table. The text
// is static.
const char* get_ora_block_name(uint8_t type);
