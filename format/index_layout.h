// Index block layout (block type 6, transaction-layer type 2): the index
// header that follows the data header start D, the leaf and branch row
// directories, and the leaf rows of index-organized tables. Constants and
// accessors only, over the block in the session block buffer.
//
// Leaf row of an index-organized table, at D + directory entry:
//   flag (0x01 deleted, 0x04 a non-key part follows), lock, kdxledsz bytes
//   passed over, kdxconco key columns, then with flag 0x04 a row piece
//   header (flag, lock, cc, and a big-endian next piece address when the
//   flag has no L bit) and cc more columns.
// Columns use the data row encoding (format/data_layout.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/session_context.h"
#include "format/block_layout.h"
#include "format/data_layout.h"

// ---- index header, offsets from D (the data header start) ----

constexpr size_t kIndexColevOffset = 0;
constexpr size_t kIndexColokOffset = 1;
constexpr size_t kIndexCoopcOffset = 2;
constexpr size_t kIndexConcoOffset = 3;
constexpr size_t kIndexCosdcOffset = 4;
constexpr size_t kIndexConroOffset = 8;
constexpr size_t kIndexCofboOffset = 10;
constexpr size_t kIndexCofeoOffset = 12;
constexpr size_t kIndexCoavsOffset = 14;
// Leaf blocks.
constexpr size_t kIndexLesplOffset = 16;
constexpr size_t kIndexLendeOffset = 18;
constexpr size_t kIndexLenxtOffset = 20;
constexpr size_t kIndexLeprvOffset = 24;
constexpr size_t kIndexLedszOffset = 28;
constexpr size_t kIndexLebkszOffset = 32;
constexpr size_t kIndexLeafDirectory = 36;
// Branch blocks.
constexpr size_t kIndexBrlmcOffset = 16;
constexpr size_t kIndexBrsnoOffset = 20;
constexpr size_t kIndexBrbkszOffset = 24;
constexpr size_t kIndexBranchDirectory = 28;

constexpr uint8_t kIndexOpcodeIOTRows = 0x10;  // leaf rows of an index-organized table
constexpr uint8_t kIndexRowDeletedFlag = 0x01;
constexpr uint8_t kIndexRowNonKey = 0x04;      // a non-key part follows the key
constexpr size_t kIndexRowHeaderSize = 2;      // flag, lock

// ---- accessors over the session block buffer ----

inline uint8_t indexUB1(const SessionContext& ctx, size_t off) {
  return sessionUB1(ctx, getDataBeginOffset(ctx) + off);
}
inline uint16_t indexUB2(const SessionContext& ctx, size_t off) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + off);
}
inline uint32_t indexUB4(const SessionContext& ctx, size_t off) {
  return sessionUB4(ctx, getDataBeginOffset(ctx) + off);
}

inline uint8_t getIndexColev(const SessionContext& ctx) { return indexUB1(ctx, kIndexColevOffset); }
inline uint8_t getIndexColok(const SessionContext& ctx) { return indexUB1(ctx, kIndexColokOffset); }
inline uint8_t getIndexCoopc(const SessionContext& ctx) { return indexUB1(ctx, kIndexCoopcOffset); }
// The opcode byte as a number (the listing shows it in both forms).
inline uint8_t getIndexOpcode(const SessionContext& ctx) { return indexUB1(ctx, kIndexCoopcOffset); }
inline uint8_t getIndexColumnCount(const SessionContext& ctx) { return indexUB1(ctx, kIndexConcoOffset); }
inline uint32_t getIndexCosdc(const SessionContext& ctx) { return indexUB4(ctx, kIndexCosdcOffset); }
inline uint16_t getIndexRowCount(const SessionContext& ctx) { return indexUB2(ctx, kIndexConroOffset); }
inline uint16_t getIndexFreeSpaceBegin(const SessionContext& ctx) { return indexUB2(ctx, kIndexCofboOffset); }
inline uint16_t getIndexFreeSpaceEnd(const SessionContext& ctx) { return indexUB2(ctx, kIndexCofeoOffset); }
inline uint16_t getIndexFreeSpace(const SessionContext& ctx) { return indexUB2(ctx, kIndexCoavsOffset); }
inline uint16_t getIndexLespl(const SessionContext& ctx) { return indexUB2(ctx, kIndexLesplOffset); }
inline uint16_t getIndexLende(const SessionContext& ctx) { return indexUB2(ctx, kIndexLendeOffset); }
inline uint32_t getIndexLenxt(const SessionContext& ctx) { return indexUB4(ctx, kIndexLenxtOffset); }
inline uint32_t getIndexLeprv(const SessionContext& ctx) { return indexUB4(ctx, kIndexLeprvOffset); }
inline uint8_t getIndexLedsz(const SessionContext& ctx) { return indexUB1(ctx, kIndexLedszOffset); }
inline uint16_t getIndexLebksz(const SessionContext& ctx) { return indexUB2(ctx, kIndexLebkszOffset); }
inline uint32_t getIndexBrlmc(const SessionContext& ctx) { return indexUB4(ctx, kIndexBrlmcOffset); }
inline uint32_t getIndexBrsno(const SessionContext& ctx) { return indexUB4(ctx, kIndexBrsnoOffset); }
inline uint16_t getIndexBrbksz(const SessionContext& ctx) { return indexUB2(ctx, kIndexBrbkszOffset); }

// Row directory entry i (relative to D): at D+36 in a leaf, D+28 in a branch
// block. kEmptyRowSlot when the entry lies outside the block.
inline uint16_t getIndexOffset(const SessionContext& ctx, uint32_t i) {
  const size_t directory = getIndexColev(ctx) == 0 ? kIndexLeafDirectory : kIndexBranchDirectory;
  const size_t entry = getDataBeginOffset(ctx) + directory + kRowEntrySize * static_cast<size_t>(i);
  if (ctx.blockBuffer == nullptr || entry + kRowEntrySize > ctx.blockSize) return kEmptyRowSlot;
  return sessionUB2(ctx, entry);
}

// Absolute offset of leaf row i; 0 when its flag and lock bytes would not lie
// inside the block.
inline uint32_t getIndexRowStart(const SessionContext& ctx, uint32_t i) {
  const uint16_t offset = getIndexOffset(ctx, i);
  if (offset == kEmptyRowSlot) return 0;
  const uint64_t start = static_cast<uint64_t>(getDataBeginOffset(ctx)) + offset;
  return start + kIndexRowHeaderSize <= ctx.blockSize ? static_cast<uint32_t>(start) : 0;
}
